#pragma once

#include "../unit/playback/QVPlaybackTestSupport.h"
#include "QVApplicationLauncher.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVTestWait.h"
#include "QVUIConstantsService.h"
#include "QVWebView.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>

// The demo service, the client's constants pointed at it, and the navigation
// service the page's bridges hang off.
class QVDemoClientFixture : public ::testing::Test
{
protected:
    QVDemoClientFixture()
    {
        // As the program does, before the first page starts the engine.
        static const bool engineFlagsSet = (QVApplicationLauncher::setEngineFlags(), true);
        (void)engineFlagsSet;
    }

    void startDemo()
    {
        ASSERT_TRUE(demo.start()) << qPrintable(demo.errorString());
        qputenv("QUIV_DEVELOPER_HOST", demo.hostAndPort().toUtf8());
        constants = std::make_unique<QVUIConstantsService>(&center, defaults.get(), "10.10");
        constants->setShouldUseLocalhost(true);
        navigation = std::make_unique<QVWebNavigationService>(&center, constants.get());
    }

    QVDemoService demo;
    QVNotificationCenter center;
    QVTestDefaults defaults;
    std::unique_ptr<QVUIConstantsService> constants;
    std::unique_ptr<QVWebNavigationService> navigation;
};

// And the playback service over the demo web application's real player, signed in.
class QVDemoPlaybackFixture : public QVDemoClientFixture
{
protected:
    QVDemoPlaybackFixture()
        : playStateSignal(&log)
        , sleepMonitor(&log)
    {
    }

    void SetUp() override
    {
        startDemo();
        if (HasFatalFailure())
            return;
        playback = std::make_unique<QVWebPlaybackService>(QVWebPlaybackService::Services {
            &center, defaults.get(), navigation.get(), &playStateSignal, &volume, &output, &sleepMonitor });
        navigation->desktopScriptObject()->setPlaybackDelegate(playback.get());
        beforePageLoads();
        page = attachView();
        if (HasFailure())
            return;

        // The sign-in page, once its load is over: the first page may show a
        // sign-in form too, and a command sent while the second one loads is lost.
        QSignalSpy loaded(page, &QWebEngineView::loadFinished);
        page->loadURL(QUrl(constants->quivURL() + "/accounts/login/"));
        ASSERT_TRUE(
            QVWaitUntil([&] { return !loaded.isEmpty() && loaded.last().value(0).toBool(); }, 20000, 50));
        ASSERT_TRUE(QVWaitUntil(
            [&] {
                return playback->isPlaybackLoaded()
                    && page->javascriptBoolValue("$('.Login_Form').length > 0");
            },
            20000, 50));
        page->executeJavascript(QVDemoService::signInScript());
        ASSERT_TRUE(QVWaitUntil([&] { return playback->isAuthenticated(); }, 20000));
    }
    void TearDown() override
    {
        if (page)
            page->executeJavascript("Q.player.unload && Q.player.unload();");
    }

    // The view the playback service reads, handed out as the window service does.
    virtual QVWebView* attachView()
    {
        view.resize(1000, 700);
        navigation->setWebView(&view);
        center.postNotificationName(QVGlobalWebViewWillUpdateNotification, &view);
        return &view;
    }
    // Listeners and views that must see the page from its first load.
    virtual void beforePageLoads() { }

    QStringList log;
    RecordingPlayStateSignal playStateSignal;
    FakeSystemVolume volume;
    FakeAudioOutput output;
    FakeSleepMonitor sleepMonitor;
    std::unique_ptr<QVWebPlaybackService> playback;
    QVWebView view;
    QVWebView* page = nullptr;
};
