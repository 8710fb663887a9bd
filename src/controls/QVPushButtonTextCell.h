#pragma once

#include "QVPushButtonCell.h"
#include "QVShadow.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>

#include <optional>

// A push button cell that draws a title over a bevel: a left end cap, the
// same cap mirrored on the right, and a middle piece stretched between them,
// one set per state. The title takes the shared text colour and shadow unless
// given its own, and is cut with an ellipsis to the button's width.
class QVPushButtonTextCell : public QVPushButtonCell
{
public:
    QVImage backgroundImage() const { return _backgroundImage; }
    void setBackgroundImage(const QVImage& image) { _backgroundImage = image; }
    QVImage endcapImage() const { return _endcapImage; }
    void setEndcapImage(const QVImage& image) { _endcapImage = image; }
    QVImage hoverBackgroundImage() const { return _hoverBackgroundImage; }
    void setHoverBackgroundImage(const QVImage& image) { _hoverBackgroundImage = image; }
    QVImage hoverEndcapImage() const { return _hoverEndcapImage; }
    void setHoverEndcapImage(const QVImage& image) { _hoverEndcapImage = image; }
    QVImage pressedBackgroundImage() const { return _pressedBackgroundImage; }
    void setPressedBackgroundImage(const QVImage& image) { _pressedBackgroundImage = image; }
    QVImage pressedEndcapImage() const { return _pressedEndcapImage; }
    void setPressedEndcapImage(const QVImage& image) { _pressedEndcapImage = image; }
    QVImage inactiveBackgroundImage() const { return _inactiveBackgroundImage; }
    void setInactiveBackgroundImage(const QVImage& image) { _inactiveBackgroundImage = image; }
    QVImage inactiveEndcapImage() const { return _inactiveEndcapImage; }
    void setInactiveEndcapImage(const QVImage& image) { _inactiveEndcapImage = image; }
    QVImage disabledBackgroundImage() const { return _disabledBackgroundImage; }
    void setDisabledBackgroundImage(const QVImage& image) { _disabledBackgroundImage = image; }
    QVImage disabledEndcapImage() const { return _disabledEndcapImage; }
    void setDisabledEndcapImage(const QVImage& image) { _disabledEndcapImage = image; }

    // Ten images by name, in the order of the fields above; an empty name
    // leaves that image as it was.
    void setBackgroundImage(const QString& background, const QString& endcap, const QString& hoverBackground,
        const QString& hoverEndcap, const QString& pressedBackground, const QString& pressedEndcap,
        const QString& inactiveBackground, const QString& inactiveEndcap, const QString& disabledBackground,
        const QString& disabledEndcap);

    // Empty: the button's own font family.
    QString fontName() const { return _fontName; }
    void setFontName(const QString& name) { _fontName = name; }
    // In points (device-independent pixels, as all chrome geometry); 0: the button's own size.
    unsigned int fontSize() const { return _fontSize; }
    void setFontSize(unsigned int size) { _fontSize = size; }
    // Invalid colours are unset: the shared shadowed white is used instead.
    QColor textColor() const { return _textColor; }
    void setTextColor(const QColor& color) { _textColor = color; }
    QColor inactiveTextColor() const { return _inactiveTextColor; }
    void setInactiveTextColor(const QColor& color) { _inactiveTextColor = color; }
    QColor disabledTextColor() const { return _disabledTextColor; }
    void setDisabledTextColor(const QColor& color) { _disabledTextColor = color; }
    // Unset: the shared default text shadow.
    std::optional<QVShadow> textShadow() const { return _textShadow; }
    void setTextShadow(const std::optional<QVShadow>& shadow) { _textShadow = shadow; }
    bool shouldUseTextShadow() const { return _shouldUseTextShadow; }
    void setShouldUseTextShadow(bool use) { _shouldUseTextShadow = use; }
    bool shouldResizeOnTitleChange() const { return _shouldResizeOnTitleChange; }
    void setShouldResizeOnTitleChange(bool resize) { _shouldResizeOnTitleChange = resize; }
    // The title's top edge, from the button's top, when used; else centred.
    int customTextYOffset() const { return _customTextYOffset; }
    void setCustomTextYOffset(int offset) { _customTextYOffset = offset; }
    bool shouldUseCustomTextYOffset() const { return _shouldUseCustomTextYOffset; }
    void setShouldUseCustomTextYOffset(bool use) { _shouldUseCustomTextYOffset = use; }
    int customEndcapSizeOffset() const { return _customEndcapSizeOffset; }
    void setCustomEndcapSizeOffset(int offset) { _customEndcapSizeOffset = offset; }
    bool shouldUseCustomEndcapSizeOffset() const { return _shouldUseCustomEndcapSizeOffset; }
    void setShouldUseCustomEndcapSizeOffset(bool use) { _shouldUseCustomEndcapSizeOffset = use; }
    bool shouldUnderscoreText() const { return _shouldUnderscoreText; }
    void setShouldUnderscoreText(bool underscore) { _shouldUnderscoreText = underscore; }
    // Shown over a button with a title (links); unset: the arrow.
    std::optional<QCursor> cursor() const { return _cursor; }
    void setCursor(const std::optional<QCursor>& cursor) { _cursor = cursor; }
    // Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter (the default).
    Qt::Alignment alignment() const { return _alignment; }
    void setAlignment(Qt::Alignment alignment) { _alignment = alignment; }

    // The button's text.
    QString title() const;
    // Also resizes the button, keeping its right edge, when asked to and the title changed.
    void setTitle(const QString& title);

    // The title's look in the current state.
    struct TitleAttributes {
        QFont font;
        QColor color;
        std::optional<QVShadow> shadow;
    };
    TitleAttributes _attributedTitleString() const;
    // The title as it fits in `width` points: cut with an ellipsis, and empty
    // when not even the ellipsis fits.
    QString displayedTitle(qreal width) const;
    // Where the title's box goes in `frame` (before clipping).
    QRectF titleRect(const QRectF& frame) const;
    // The end-cap width the button is sized with.
    qreal endcapWidthForResizing() const;
    // Two caps, the title and the arrow when drawn.
    QSizeF sizeForTitle(const QString& title) const;

    // The bevel: cap, mirrored cap and stretched middle, `size` points at `devicePixelRatio`.
    static QImage _bevelImageWithBackgroundImage(
        const QVImage& middle, const QVImage& endcap, const QSizeF& size, qreal devicePixelRatio);

    // The bevel for the current state at the button's size.
    QVImage image() const override;
    void drawWithFrame(QPainter* painter, const QRectF& frame) override;

    void mouseEntered() override;
    void mouseExited() override;
    bool startTracking() override;
    void stopTracking(bool mouseIsUp) override;

private:
    std::pair<QVImage, QVImage> _bevelPieces() const;
    void _showCursor(bool show);
    static void _drawText(QPainter* painter, const QPointF& topLeft, const QString& text, const QFont& font,
        const QColor& color);
    static void _drawShadow(QPainter* painter, const QPointF& topLeft, const QString& text, const QFont& font,
        const QVShadow& shadow);

    QVImage _backgroundImage;
    QVImage _endcapImage;
    QVImage _hoverBackgroundImage;
    QVImage _hoverEndcapImage;
    QVImage _pressedBackgroundImage;
    QVImage _pressedEndcapImage;
    QVImage _inactiveBackgroundImage;
    QVImage _inactiveEndcapImage;
    QVImage _disabledBackgroundImage;
    QVImage _disabledEndcapImage;
    QString _fontName;
    unsigned int _fontSize = 0;
    QColor _textColor;
    QColor _inactiveTextColor;
    QColor _disabledTextColor;
    std::optional<QVShadow> _textShadow;
    bool _shouldUseTextShadow = true;
    bool _shouldResizeOnTitleChange = false;
    int _customTextYOffset = -3;
    bool _shouldUseCustomTextYOffset = true;
    int _customEndcapSizeOffset = 0;
    bool _shouldUseCustomEndcapSizeOffset = false;
    bool _shouldUnderscoreText = false;
    std::optional<QCursor> _cursor;
    Qt::Alignment _alignment = Qt::AlignHCenter;
    QString _title;

    // The last bevel built: it is redrawn often at one size.
    struct Bevel {
        QVImage middle;
        QVImage endcap;
        QSize pixels;
        QVImage image;
    };
    mutable Bevel _bevel;
};
