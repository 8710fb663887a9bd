#pragma once

#include <QObject>

// Watches where the computer's sound goes. The playback layer hears when the
// output's "data source" changes (headphones pulled, another output chosen)
// and asks whether the output now is a pair of headphones.
class QVAudioOutputMonitor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isHeadphoneOutput() const = 0;

signals:
    // Always delivered on the main thread.
    void dataSourceChanged();
};
