#include "QVMprisPlayerAdaptor.h"

#include "QVMprisService.h"

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
    _service->setLoopStatus(status);
}

bool QVMprisPlayerAdaptor::shuffle() const
{
    return _service->shuffle();
}

void QVMprisPlayerAdaptor::setShuffle(bool shuffle)
{
    _service->setShuffle(shuffle);
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
    _service->setVolume(volume);
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
    _service->next();
}

void QVMprisPlayerAdaptor::Previous()
{
    _service->previous();
}

void QVMprisPlayerAdaptor::Pause()
{
    _service->pause();
}

void QVMprisPlayerAdaptor::PlayPause()
{
    _service->playPause();
}

void QVMprisPlayerAdaptor::Stop()
{
    _service->stop();
}

void QVMprisPlayerAdaptor::Play()
{
    _service->play();
}

void QVMprisPlayerAdaptor::Seek(qlonglong offset)
{
    _service->seek(offset);
}

void QVMprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position)
{
    _service->setPosition(trackId, position);
}

void QVMprisPlayerAdaptor::OpenUri(const QString& uri)
{
    _service->openUri(uri);
}
