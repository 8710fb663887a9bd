#include "QVAudioHardwareEventListener.h"
#include "QVAudioHardwareEventListenerDelegate.h"
#include "QVPlaybackTestSupport.h"
#include "QVPulseAudioOutput.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

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
        EXPECT_FALSE(listener.isAudioOutputHeadphoneJack());
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
        { bluetooth, speakers, true, "Bluetooth headphones switched off" },
        { bluetooth, none, true, "the last output went away with them" },
        { speakers, hdmi, false, "another output chosen, no headphones involved" },
        { speakers, bluetooth, false, "headphones connected as a new output" },
        { none, speakers, false, "the first output seen" },
        { speakers, none, false, "speakers gone" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(QVPulseAudioOutput::isDataSourceChange(c.before, c.after), c.changed) << c.what;
}

TEST(QVAudioHardwareEventListenerTest, HeadphonePortsByTypeThenNameThenFormFactor)
{
    EXPECT_TRUE(
        QVPulseAudioOutput::isHeadphonePort("analog-output-headphones", PA_DEVICE_PORT_TYPE_HEADPHONES, ""));
    EXPECT_TRUE(QVPulseAudioOutput::isHeadphonePort("headset-output", PA_DEVICE_PORT_TYPE_HEADSET, ""));
    // A type wins over the name.
    EXPECT_FALSE(QVPulseAudioOutput::isHeadphonePort("headphone-ish", PA_DEVICE_PORT_TYPE_SPEAKER, ""));
    // Older servers give no type: the name decides.
    EXPECT_TRUE(
        QVPulseAudioOutput::isHeadphonePort("analog-output-Headphones", PA_DEVICE_PORT_TYPE_UNKNOWN, ""));
    EXPECT_FALSE(
        QVPulseAudioOutput::isHeadphonePort("analog-output-speaker", PA_DEVICE_PORT_TYPE_UNKNOWN, ""));
    // No ports at all: the device's form factor.
    EXPECT_TRUE(QVPulseAudioOutput::isHeadphonePort("", PA_DEVICE_PORT_TYPE_UNKNOWN, "headphone"));
    EXPECT_FALSE(QVPulseAudioOutput::isHeadphonePort("", PA_DEVICE_PORT_TYPE_UNKNOWN, "speaker"));
}

TEST(QVAudioHardwareEventListenerTest, SnapshotsFromTheServerSignalOnlyRealChanges)
{
    QVPulseAudioOutput pulse; // never started: fed by hand
    QSignalSpy changed(&pulse, &QVAudioOutputMonitor::dataSourceChanged);
    pulse._applyState(output("sink", "analog-output-headphones", true));
    EXPECT_EQ(changed.count(), 0); // the first snapshot is where we start from
    EXPECT_TRUE(pulse.isHeadphoneOutput());
    auto louder = output("sink", "analog-output-headphones", true);
    louder.volume = 0.8f;
    pulse._applyState(louder);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FLOAT_EQ(pulse.volume(), 0.8f);
    pulse._applyState(output("sink", "analog-output-speaker", false));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(pulse.isHeadphoneOutput());

    // Not connected: setting the volume changes nothing.
    pulse.setVolume(0.3f);
    EXPECT_FLOAT_EQ(pulse.volume(), 0.0f);
}
