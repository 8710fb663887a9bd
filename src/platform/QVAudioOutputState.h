#pragma once

#include <QString>

// What the default output looks like at one moment.
struct QVAudioOutputState {
    bool isValid = false; // a default output exists
    QString sinkName;
    QString activePort; // empty when the output has no ports
    bool isHeadphones = false;
    float volume = 0.0f; // channel average, 1.0 is the output's full (unamplified) level
    int channels = 0;
};
