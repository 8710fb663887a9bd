#pragma once

#include "QVSystemVolume.h"

class QVPulseAudioOutput;

// The system volume as the default PulseAudio sink's volume. Writes are kept
// within 0.0 to 1.0: PulseAudio would otherwise amplify past the output's
// full level.
class QVPulseAudioSystemVolume : public QVSystemVolume
{
public:
    explicit QVPulseAudioSystemVolume(QVPulseAudioOutput* output);

    float systemVolume() override;
    void setSystemVolume(float volume) override;

private:
    QVPulseAudioOutput* _output;
};
