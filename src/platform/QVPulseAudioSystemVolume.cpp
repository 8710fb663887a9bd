#include "QVPulseAudioSystemVolume.h"

#include "QVPulseAudioOutput.h"

QVPulseAudioSystemVolume::QVPulseAudioSystemVolume(QVPulseAudioOutput* output)
    : _output(output)
{
}

float QVPulseAudioSystemVolume::systemVolume()
{
    return _output ? _output->volume() : 0.0f;
}

void QVPulseAudioSystemVolume::setSystemVolume(float volume)
{
    if (_output)
        _output->setVolume(volume);
}
