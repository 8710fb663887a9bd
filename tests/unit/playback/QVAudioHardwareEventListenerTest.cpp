#include "QVAudioHardwareEventListener.h"
#include "QVAudioHardwareEventListenerDelegate.h"
#include "QVPlaybackTestSupport.h"
#include "QVPulseAudioOutput.h"

#include <gtest/gtest.h>

#include <pulse/def.h>

namespace {
class RecordingDelegate : public QVAudioHardwareEventListenerDelegate
{
public:
    explicit RecordingDelegate(QStringList* log)
        : log(log)
    {
    }
    void onDefaultAudioOutputChanged() override { log->append("output changed"); }
    void onSystemWillSleep() override { log->append("will sleep"); }
    QStringList* log;
};

QVAudioOutputState output(const QString& sink, const QString& port, bool headphones)
{
    QVAudioOutputState state;
    state.isValid = true;
    state.sinkName = sink;
    state.activePort = port;
    state.isHeadphones = headphones;
    state.channels = 2;
    return state;
}
} // namespace

TEST(QVAudioHardwareEventListenerTest, ForwardsChangesAndAcknowledgesSleepAfterTheDelegate)
{
    QStringList log;
    RecordingDelegate delegate(&log);
    FakeAudioOutput audio;
    FakeSleepMonitor sleep(&log);
    {
        QVAudioHardwareEventListener listener(&delegate, &audio, &sleep);
        audio.headphones = true;
        EXPECT_TRUE(listener.isAudioOutputHeadphoneJack());
        audio.change();
        sleep.sleep();
        QVEventQueue::sharedInstance()->dispatchNow();
        EXPECT_EQ(log, (QStringList { "output changed", "will sleep", "sleep acknowledged" }));
    }
    // Gone: nobody is called any more.
    log.clear();
    audio.change();
    sleep.sleep();
    EXPECT_TRUE(log.isEmpty());
}

TEST(QVAudioHardwareEventListenerTest, WhatCountsAsADataSourceChange)
{
    const QVAudioOutputState none;
    const auto speakers = output("alsa_output.pci", "analog-output-speaker", false);
    const auto jack = output("alsa_output.pci", "analog-output-headphones", true);
    const auto hdmi = output("alsa_output.hdmi", "hdmi-output-0", false);
    const auto bluetooth = output("bluez_output.00_11", "headphone-output", true);
    const struct {
        QVAudioOutputState before, after;
        bool changed;
        const char* what;
    } cases[] = {
        { jack, speakers, true, "headphones pulled out of the jack" },
        { speakers, jack, true, "headphones plugged in (the rule then keeps playing)" },
        { speakers, speakers, false, "volume or mute only" },
        { bluetooth, none, true, "the last output went away with them" },
        { speakers, hdmi, false, "another output chosen, no headphones involved" },
        { speakers, bluetooth, false, "headphones connected as a new output" },
        { none, speakers, false, "the first output seen" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(QVPulseAudioOutput::isDataSourceChange(c.before, c.after), c.changed) << c.what;
}

TEST(QVAudioHardwareEventListenerTest, HeadphonePortsByTypeThenNameThenFormFactor)
{
    const struct {
        const char* port;
        pa_device_port_type_t type;
        const char* formFactor;
        bool headphones;
    } cases[] = {
        { "headset-output", PA_DEVICE_PORT_TYPE_HEADSET, "", true },
        { "headphone-ish", PA_DEVICE_PORT_TYPE_SPEAKER, "", false }, // the type wins over the name
        { "analog-output-Headphones", PA_DEVICE_PORT_TYPE_UNKNOWN, "", true }, // older servers: the name
        { "analog-output-speaker", PA_DEVICE_PORT_TYPE_UNKNOWN, "", false },
        { "", PA_DEVICE_PORT_TYPE_UNKNOWN, "headphone", true }, // no ports: the form factor
        { "", PA_DEVICE_PORT_TYPE_UNKNOWN, "speaker", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(QVPulseAudioOutput::isHeadphonePort(c.port, c.type, c.formFactor), c.headphones) << c.port;
}
