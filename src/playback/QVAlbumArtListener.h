#pragma once

#include <QImage>
#include <QString>

#include <memory>

// What the album art handler tells its listeners. Every callback has an empty
// default: a listener overrides only what it cares about.
//
// Listeners of the playing track's art remove themselves from the handler
// before they go away. A one-off requester may go away while its request
// runs: the handler keeps only a weak reference to it and then drops the
// answer.
class QVAlbumArtListener
{
public:
    QVAlbumArtListener()
        : _anchor(std::make_shared<QVAlbumArtListener*>(this))
    {
    }
    // A copy is another listener with a reference of its own.
    QVAlbumArtListener(const QVAlbumArtListener&)
        : QVAlbumArtListener()
    {
    }
    QVAlbumArtListener& operator=(const QVAlbumArtListener&) { return *this; }
    virtual ~QVAlbumArtListener() = default;

    // The playing track's art changed: its art, the stub, or a null image when
    // the fetched data was not an image.
    virtual void onAlbumArtAvailable(const QImage& image) { (void)image; }
    // A one-off request ended with an image, or without one.
    virtual void albumArtRequestCompleted(const QImage& image, const QString& baseIcon)
    {
        (void)image;
        (void)baseIcon;
    }
    virtual void albumArtRequestFailedForBaseIcon(const QString& baseIcon) { (void)baseIcon; }

    std::weak_ptr<QVAlbumArtListener*> weakReference() const { return _anchor; }

private:
    std::shared_ptr<QVAlbumArtListener*> _anchor;
};
