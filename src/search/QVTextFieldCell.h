#pragma once

#include "QVShadow.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;
class QWidget;

// A label's text with the chrome's soft shadow, faded in windows that are
// not active when asked to.
class QVTextFieldCell
{
public:
    QString text() const { return _text; }
    void setText(const QString& text) { _text = text; }
    QColor textColor() const { return _textColor; }
    void setTextColor(const QColor& color) { _textColor = color; }
    QFont font() const { return _font; }
    void setFont(const QFont& font) { _font = font; }
    Qt::Alignment alignment() const { return _alignment; }
    void setAlignment(Qt::Alignment alignment) { _alignment = alignment; }
    bool shouldDrawShadow() const { return _shouldDrawShadow; }
    void setShouldDrawShadow(bool draw) { _shouldDrawShadow = draw; }
    bool useInactiveTransparency() const { return _useInactiveTransparency; }
    void setUseInactiveTransparency(bool use) { _useInactiveTransparency = use; }

    // How the text is drawn in `view`'s window (null: an active one).
    struct Attributes {
        QColor color;
        std::optional<QVShadow> shadow;
    };
    Attributes attributes(const QWidget* view) const;
    // One line, cut at the tail.
    void drawWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view) const;

private:
    QString _text;
    QColor _textColor = Qt::black;
    QFont _font;
    Qt::Alignment _alignment = Qt::AlignLeft;
    bool _shouldDrawShadow = true;
    bool _useInactiveTransparency = false;
};
