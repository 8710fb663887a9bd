#pragma once

#include "DemoHttpClient.h"
#include "QVDemoService.h"

#include <gtest/gtest.h>

#include <memory>

// One demo service for a whole suite, and a fresh client for each test.
class DemoServiceSuite : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        service = new QVDemoService;
        if (!service->start())
            FAIL() << service->errorString().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete service;
        service = nullptr;
    }
    void SetUp() override
    {
        ASSERT_GT(service->port(), 0);
        client = std::make_unique<DemoHttpClient>(service->port());
    }

    inline static QVDemoService* service = nullptr;
    std::unique_ptr<DemoHttpClient> client;
};
