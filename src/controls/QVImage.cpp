#include "QVImage.h"

#include "QVLog.h"

#include <QFile>
#include <QHash>
#include <QPaintDevice>
#include <QSvgRenderer>

#include <cmath>
#include <memory>

// Resources compiled into a static library are registered by hand, once, before
// the first lookup; the call must sit outside any namespace.
static void initImageResources()
{
    static const bool initialized = [] {
        Q_INIT_RESOURCE(QVImages);
        return true;
    }();
    (void)initialized;
}

struct QVImage::Data {
    QString name;
    QImage raster;
    std::unique_ptr<QSvgRenderer> svg;
    QSizeF size;

    // The last rendering: chrome images are drawn at one size over and over.
    QImage cache;
    QSize cachePixels;
};

namespace {
// Names come from code; anything else is refused before it reaches the resources.
constexpr int kMaxNameLength = 128;
constexpr int kMaxCachedNames = 512;

bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name.size() > kMaxNameLength)
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_' && c != u'-' && c != u'.')
            return false;
    }
    return !name.startsWith(u'.');
}

QString baseName(const QString& name)
{
    for (const char* suffix : { ".png", ".svg" }) {
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return name.chopped(4);
    }
    return name;
}
} // namespace

QVImage::QVImage(const QImage& image)
{
    if (image.isNull())
        return;
    _data = QSharedPointer<Data>::create();
    _data->raster = image;
    _data->size = image.deviceIndependentSize();
}

QVImage QVImage::fromSvgData(const QByteArray& data, const QString& name)
{
    auto renderer = std::make_unique<QSvgRenderer>(data);
    const QSize size = renderer->defaultSize();
    if (!renderer->isValid() || size.isEmpty()) {
        QVLog("[WARNING] The image \"%s\" could not be read", qPrintable(name));
        return QVImage();
    }
    QVImage image;
    image._data = QSharedPointer<Data>::create();
    image._data->name = name;
    image._data->svg = std::move(renderer);
    image._data->size = QSizeF(size);
    return image;
}

QVImage QVImage::named(const QString& name)
{
    initImageResources();
    static QHash<QString, QVImage> cache;
    const QString base = baseName(name);
    const auto found = cache.constFind(base);
    if (found != cache.constEnd())
        return *found;

    QVImage image;
    if (!isPlainName(base)) {
        QVLog("[WARNING] No image named \"%s\"", qPrintable(name.left(kMaxNameLength)));
    } else {
        QFile file(QStringLiteral(":/images/%1.svg").arg(base));
        if (file.open(QIODevice::ReadOnly))
            image = fromSvgData(file.readAll(), base);
        else
            QVLog("[WARNING] No image named \"%s\"", qPrintable(name));
    }
    // Misses are remembered too, so each is logged once.
    if (cache.size() >= kMaxCachedNames)
        cache.clear();
    cache.insert(base, image);
    return image;
}

QString QVImage::name() const
{
    return _data ? _data->name : QString();
}

QSizeF QVImage::size() const
{
    return _data ? _data->size : QSizeF();
}

QImage QVImage::toImage(const QSizeF& size, qreal devicePixelRatio) const
{
    if (!_data || size.isEmpty() || !(devicePixelRatio > 0))
        return QImage();
    const QSize pixels(
        qMax(1, qRound(size.width() * devicePixelRatio)), qMax(1, qRound(size.height() * devicePixelRatio)));
    // A chrome image never needs more than a screen's worth of pixels.
    if (pixels.width() > 16384 || pixels.height() > 16384)
        return QImage();
    if (pixels == _data->cachePixels && !_data->cache.isNull()) {
        QImage image = _data->cache;
        image.setDevicePixelRatio(devicePixelRatio);
        return image;
    }

    QImage image;
    if (_data->svg) {
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        _data->svg->render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    } else if (_data->raster.size() == pixels) {
        image = _data->raster.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
        image = _data->raster.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                    .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    _data->cache = image;
    _data->cachePixels = pixels;
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

qreal QVImage::deviceScale(const QPainter* painter)
{
    if (!painter || !painter->device())
        return 1.0;
    // The device transform already holds the device pixel ratio.
    const QTransform transform = painter->deviceTransform();
    const qreal scale
        = qMax(std::hypot(transform.m11(), transform.m12()), std::hypot(transform.m21(), transform.m22()));
    return scale > 0 ? scale : 1.0;
}

void QVImage::draw(
    QPainter* painter, const QRectF& target, qreal opacity, QPainter::CompositionMode mode) const
{
    if (!_data || !painter || target.isEmpty() || opacity <= 0)
        return;
    const QImage image = toImage(target.size(), deviceScale(painter));
    if (image.isNull())
        return;
    painter->save();
    painter->setOpacity(painter->opacity() * opacity);
    painter->setCompositionMode(mode);
    painter->drawImage(target, image);
    painter->restore();
}
