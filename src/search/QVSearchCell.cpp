#include "QVSearchCell.h"

#include "QVUIConstantsService.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace {

const char kNameKey[] = "QVName";

void drawLine(
    QPainter* painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color)
{
    if (rect.width() <= 0 || rect.height() <= 0 || text.isEmpty())
        return;
    painter->save();
    painter->setFont(font);
    painter->setPen(color);
    const QString shown = painter->fontMetrics().horizontalAdvance(text) <= rect.width()
        ? text
        : QFontMetricsF(font).elidedText(text, Qt::ElideRight, rect.width());
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
    painter->restore();
}

} // namespace

QVSearchCell::QVSearchCell(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QImage QVSearchCell::imageNamed(const QString& name, qreal devicePixelRatio)
{
    static const bool registered = [] {
        // The images live in this static library.
        Q_INIT_RESOURCE(QVSearchImages);
        return true;
    }();
    (void)registered;
    static QHash<QString, QImage> cache;
    const QString key = name + QLatin1Char('@') + QString::number(devicePixelRatio);
    if (const auto it = cache.constFind(key); it != cache.cend())
        return it.value();
    QSvgRenderer renderer(QStringLiteral(":/images/%1.svg").arg(name));
    QImage image;
    if (renderer.isValid()) {
        const QSize size = renderer.defaultSize();
        image = QImage(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        image.setDevicePixelRatio(devicePixelRatio);
        image.setText(QString::fromLatin1(kNameKey), name);
    }
    cache.insert(key, image);
    return image;
}

QString QVSearchCell::nameOfImage(const QImage& image)
{
    return image.text(QString::fromLatin1(kNameKey));
}

QColor QVSearchCell::highlightColor()
{
    return QColor::fromRgbF(0.22f, 0.46f, 0.84f, 1.0f);
}

QVSearchCell::Layout QVSearchCell::layout(const QRectF& frame) const
{
    Layout out;
    qreal x = frame.x() - 1;
    qreal w = frame.width() + 3;
    qreal y = frame.y() + _topPadding;
    qreal h = frame.height() - _topPadding - _bottomPadding;
    out.content = QRectF(x, y, w, h);
    y += 2;
    h -= 2;
    if (!_leftImage.isNull()) {
        const QSizeF size = _leftImage.deviceIndependentSize();
        x += 8;
        // Art has no name and sits 3 points lower than an icon.
        const qreal top = nameOfImage(_leftImage).isEmpty() ? y + 3 : y;
        out.leftImage = QRectF(QPointF(x, top), size);
        x += size.width() + 4;
        w -= size.width() + 4;
    }
    if (!_subTitle.isEmpty()) {
        out.subTitle = QRectF(x, y + 14, w, h - 16);
        h -= 16;
    }
    if (!_rightImage.isNull()) {
        const QSizeF size = _rightImage.deviceIndependentSize();
        const qreal across = std::abs(std::trunc(w - size.width() - 16));
        qreal down = std::abs(std::trunc((h - size.height()) * 0.5));
        if (_bottomPadding == 0)
            down -= 1;
        out.rightImage = QRectF(QPointF(x + across, y + down), size);
        w -= size.width() + 16;
    }
    if (!_title.isEmpty()) {
        w -= 15;
        out.title = QRectF(x, y, w, h);
    }
    return out;
}

void QVSearchCell::drawWithFrame(QPainter* painter, const QRectF& frame, bool highlighted) const
{
    static const QFont subTitleFont = QVUIConstantsService::fontNamed(QStringLiteral("Lucida Grande"), 11);
    static const QFont titleFont = QVUIConstantsService::fontNamed(QStringLiteral("Lucida Grande"), 12);
    const Layout pieces = layout(frame);
    if (highlighted)
        painter->fillRect(pieces.content, highlightColor());
    if (!pieces.leftImage.isEmpty())
        painter->drawImage(pieces.leftImage, _leftImage);
    drawLine(painter, pieces.subTitle, _subTitle, subTitleFont,
        highlighted ? QColor(Qt::white) : QColor::fromRgbF(0.357f, 0.376f, 0.392f, 1.0f));
    if (!pieces.rightImage.isEmpty())
        painter->drawImage(pieces.rightImage, _rightImage);
    drawLine(painter, pieces.title, _title, titleFont, Qt::black);
}

void QVSearchCell::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (_willDisplayCell)
        _willDisplayCell(const_cast<QVSearchCell*>(this), index.row(), selected);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    drawWithFrame(painter, option.rect, selected);
    painter->restore();
}
