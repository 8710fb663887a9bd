#pragma once

#include "QVPushButton.h"
#include "QVShadow.h"

class QVPushButtonTextCell;

// A push button with a title over a three-piece bevel (QVPushButtonTextCell).
class QVTextPushButton : public QVPushButton
{
    Q_OBJECT
public:
    explicit QVTextPushButton(QWidget* parent = nullptr);

    // Null when the cell was replaced by one without a title.
    QVPushButtonTextCell* textCell() const;

    // Ten images by name: normal, hover, pressed, inactive and disabled, each
    // a middle piece and an end cap. An empty name leaves that image as it was.
    void setBackgroundImage(const QString& background, const QString& endcap, const QString& hoverBackground,
        const QString& hoverEndcap, const QString& pressedBackground, const QString& pressedEndcap,
        const QString& inactiveBackground, const QString& inactiveEndcap, const QString& disabledBackground,
        const QString& disabledEndcap);

    void setFontName(const QString& name);
    void setFontSize(unsigned int size);
    void setTextColor(const QColor& color);
    // Sets the title's shadow (the name is the one the callers know).
    void setTextShadowColor(const QVShadow& shadow);
    void setInactiveTextColor(const QColor& color);
    void setCustomTextYOffset(int offset);

    bool shouldResizeOnTitleChange() const;
    void setShouldResizeOnTitleChange(bool resize);
    int customEndcapSizeOffset() const;
    void setCustomEndcapSizeOffset(int offset);
    bool shouldUseCustomEndcapSizeOffset() const;
    void setShouldUseCustomEndcapSizeOffset(bool use);

    QString title() const { return text(); }
    void setTitle(const QString& title);

    // Two caps around the title.
    QSize sizeHint() const override;

private:
    template <typename Setter> void _setOnTextCell(Setter setter);
};
