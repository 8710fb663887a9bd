#include "QVAudioHardwareEventListener.h"

#include "QVEventQueue.h"

#include "QVAudioHardwareEventListenerDelegate.h"
#include "QVLogindSleepMonitor.h"
#include "QVPulseAudioOutput.h"

QVAudioHardwareEventListener::QVAudioHardwareEventListener(
    QVAudioHardwareEventListenerDelegate* delegate, QVAudioOutputMonitor* output, QVSleepMonitor* sleep)
    : _delegate(delegate)
    , _output(output)
    , _sleep(sleep)
{
    if (!_output)
        _output = QVPulseAudioOutput::sharedInstance();
    if (!_sleep) {
        auto logind = std::make_unique<QVLogindSleepMonitor>();
        logind->start();
        _ownedSleep = std::move(logind);
        _sleep = _ownedSleep.get();
    }
    _startListening();
}

QVAudioHardwareEventListener::~QVAudioHardwareEventListener()
{
    _stopListening();
}

void QVAudioHardwareEventListener::_startListening()
{
    // Both monitors deliver on the main thread, maybe inside a read of the
    // page: the handlers read it, so they run through the event queue.
    _outputConnection = QObject::connect(_output, &QVAudioOutputMonitor::dataSourceChanged, [this] {
        QVEventQueue::sharedInstance()->post(&_context, [this] { _onDefaultAudioOutputPropertyChanged(); });
    });
    _sleepConnection = QObject::connect(_sleep, &QVSleepMonitor::systemWillSleep,
        [this] { QVEventQueue::sharedInstance()->post(&_context, [this] { _onSystemWillSleep(); }); });
}

void QVAudioHardwareEventListener::_stopListening()
{
    QObject::disconnect(_outputConnection);
    QObject::disconnect(_sleepConnection);
}

bool QVAudioHardwareEventListener::isAudioOutputHeadphoneJack() const
{
    return _output && _output->isHeadphoneOutput();
}

void QVAudioHardwareEventListener::_onDefaultAudioOutputPropertyChanged()
{
    if (_delegate)
        _delegate->onDefaultAudioOutputChanged();
}

void QVAudioHardwareEventListener::_onSystemWillSleep()
{
    if (_delegate)
        _delegate->onSystemWillSleep();
    // Only now may the machine go to sleep.
    _sleep->acknowledgeSleep();
}
