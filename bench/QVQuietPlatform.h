#pragma once

#include "QVAudioOutputMonitor.h"
#include "QVPlayStateSignal.h"
#include "QVSleepMonitor.h"

// No sound server, no logind, no bus in a benchmark.
class QVQuietOutput : public QVAudioOutputMonitor
{
public:
    bool isHeadphoneOutput() const override { return false; }
};

class QVQuietSleep : public QVSleepMonitor
{
public:
    void acknowledgeSleep() override {}
};

class QVQuietSignal : public QVPlayStateSignal
{
public:
    void post() override {}
};
