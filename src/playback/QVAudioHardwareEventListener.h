#pragma once

#include <QMetaObject>
#include <QObject>

#include <memory>

class QVAudioHardwareEventListenerDelegate;
class QVAudioOutputMonitor;
class QVSleepMonitor;

// Watches the two things that should pause the music: the default output's
// data source changing (headphones pulled out, Bluetooth headphones switched
// off) and the machine going to sleep, and tells its delegate. The sleep is
// acknowledged only after the delegate has returned, so its pause runs first.
class QVAudioHardwareEventListener
{
public:
    // Null monitors mean the system's: the shared PulseAudio output and a
    // logind watcher of our own. Given monitors are not owned.
    explicit QVAudioHardwareEventListener(QVAudioHardwareEventListenerDelegate* delegate,
        QVAudioOutputMonitor* output = nullptr, QVSleepMonitor* sleep = nullptr);
    ~QVAudioHardwareEventListener();
    QVAudioHardwareEventListener(const QVAudioHardwareEventListener&) = delete;
    QVAudioHardwareEventListener& operator=(const QVAudioHardwareEventListener&) = delete;

    // No output known answers false, which the pause rule treats as speakers.
    bool isAudioOutputHeadphoneJack() const;

    void _onDefaultAudioOutputPropertyChanged();
    void _onSystemWillSleep();

private:
    void _startListening();
    void _stopListening();

    QVAudioHardwareEventListenerDelegate* _delegate;
    QVAudioOutputMonitor* _output;
    QVSleepMonitor* _sleep;
    std::unique_ptr<QVSleepMonitor> _ownedSleep;
    QMetaObject::Connection _outputConnection;
    QMetaObject::Connection _sleepConnection;
    // Ties queued events to this listener's life.
    QObject _context;
};
