#include "QVMprisPlayerAdaptor.h"

#include "QVEventQueue.h"
#include "QVMprisService.h"

// Calls from the bus run through the event queue, never inside a read of the
// page; their replies carry nothing, so they go at once. Properties answer
// from the mirror.

QVMprisPlayerAdaptor::QVMprisPlayerAdaptor(QVMprisService* service)
    : QDBusAbstractAdaptor(service)
    , _service(service)
{
}

QString QVMprisPlayerAdaptor::playbackStatus() const
{
    return _service->playbackStatus();
}

QString QVMprisPlayerAdaptor::loopStatus() const
{
    return _service->loopStatus();
}

void QVMprisPlayerAdaptor::setLoopStatus(const QString& status)
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->setLoopStatus(status); });
}

bool QVMprisPlayerAdaptor::shuffle() const
{
    return _service->shuffle();
}

void QVMprisPlayerAdaptor::setShuffle(bool shuffle)
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->setShuffle(shuffle); });
}

QVariantMap QVMprisPlayerAdaptor::metadata() const
{
    return _service->metadata();
}

double QVMprisPlayerAdaptor::volume() const
{
    return _service->volume();
}

void QVMprisPlayerAdaptor::setVolume(double volume)
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->setVolume(volume); });
}

qlonglong QVMprisPlayerAdaptor::position() const
{
    return _service->position();
}

bool QVMprisPlayerAdaptor::canGoNext() const
{
    return _service->canGoNext();
}

bool QVMprisPlayerAdaptor::canGoPrevious() const
{
    return _service->canGoPrevious();
}

bool QVMprisPlayerAdaptor::canPlay() const
{
    return _service->canPlay();
}

bool QVMprisPlayerAdaptor::canPause() const
{
    return _service->canPause();
}

bool QVMprisPlayerAdaptor::canSeek() const
{
    return _service->canSeek();
}

void QVMprisPlayerAdaptor::Next()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->next(); });
}

void QVMprisPlayerAdaptor::Previous()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->previous(); });
}

void QVMprisPlayerAdaptor::Pause()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->pause(); });
}

void QVMprisPlayerAdaptor::PlayPause()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->playPause(); });
}

void QVMprisPlayerAdaptor::Stop()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->stop(); });
}

void QVMprisPlayerAdaptor::Play()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->play(); });
}

void QVMprisPlayerAdaptor::Seek(qlonglong offset)
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->seek(offset); });
}

void QVMprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position)
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->setPosition(trackId, position); });
}

void QVMprisPlayerAdaptor::OpenUri(const QString& uri)
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->openUri(uri); });
}
