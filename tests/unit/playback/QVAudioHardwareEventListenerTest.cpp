#include "QVPulseAudioOutput.h"

#include <gtest/gtest.h>

namespace {
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

TEST(QVAudioHardwareEventListenerTest, WhatCountsAsADataSourceChange)
{
    const QVAudioOutputState none;
    const auto speakers = output("alsa_output.pci", "analog-output-speaker", false);
    const auto jack = output("alsa_output.pci", "analog-output-headphones", true);
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
        { speakers, bluetooth, false, "headphones connected as a new output" },
        { none, speakers, false, "the first output seen" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(QVPulseAudioOutput::isDataSourceChange(c.before, c.after), c.changed) << c.what;
}
