#pragma once

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSharedPointer>
#include <QSizeF>
#include <QString>

// An image of the native chrome. Images the program names are SVGs, drawn at
// whatever scale the screen needs; raster images (generated pictures, tests)
// are drawn as they are. Copies share their data, so two copies of one image
// compare equal, as two references to the same image object would.
class QVImage
{
public:
    QVImage() = default;
    // Its size in points is its pixel size divided by its device pixel ratio.
    explicit QVImage(const QImage& image);

    // The program's image ":/images/<name>.svg"; a ".png" or ".svg" suffix is
    // ignored. A missing or unreadable image is null, logged once per name.
    static QVImage named(const QString& name);
    // Null (with a log line) when the data is not a readable SVG.
    static QVImage fromSvgData(const QByteArray& data, const QString& name = QString());

    bool isNull() const { return !_data; }
    QString name() const;
    // In points (device-independent pixels).
    QSizeF size() const;
    qreal width() const { return size().width(); }
    qreal height() const { return size().height(); }

    // The picture at `size` points for a screen of `devicePixelRatio`:
    // premultiplied ARGB with that ratio set. Null for a null image or an empty size.
    QImage toImage(const QSizeF& size, qreal devicePixelRatio) const;
    QImage toImage(qreal devicePixelRatio) const { return toImage(size(), devicePixelRatio); }

    // Scaled into `target`, rendered for the painter's device pixel ratio and scale.
    void draw(QPainter* painter, const QRectF& target, qreal opacity = 1.0,
        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver) const;

    bool operator==(const QVImage& other) const { return _data == other._data; }

    // How many pixels the painter puts in one point along each axis.
    static qreal deviceScale(const QPainter* painter);

private:
    struct Data;
    QSharedPointer<Data> _data;
};
