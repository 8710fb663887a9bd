#pragma once

// Told when the sound output moves elsewhere and before the machine sleeps;
// always on the main thread.
class QVAudioHardwareEventListenerDelegate
{
public:
    virtual ~QVAudioHardwareEventListenerDelegate() = default;
    virtual void onDefaultAudioOutputChanged() = 0;
    virtual void onSystemWillSleep() = 0;
};
