#pragma once

#include "QVImage.h"

#include <QRectF>
#include <QString>

class QPainter;
class QVPushButton;
class QVPushButtonCellListener;

// What a push button looks like and how it tracks the pointer: one image per
// state, fading in background windows, and the listener's callbacks. Owned by
// its button (the control view), which forwards paint and pointer events.
class QVPushButtonCell
{
public:
    QVPushButtonCell();
    virtual ~QVPushButtonCell();
    QVPushButtonCell(const QVPushButtonCell&) = delete;
    QVPushButtonCell& operator=(const QVPushButtonCell&) = delete;

    // The button drawing this cell; set by the button.
    QVPushButton* controlView() const { return _controlView; }
    void setControlView(QVPushButton* view) { _controlView = view; }

    // The normal image.
    QVImage regularButtonImage() const { return _image; }
    void setImage(const QVImage& image) { _image = image; }
    QVImage hoverImage() const { return _hoverImage; }
    void setHoverImage(const QVImage& image) { _hoverImage = image; }
    QVImage pushImage() const { return _pushImage; }
    void setPushImage(const QVImage& image) { _pushImage = image; }
    QVImage disabledImage() const { return _disabledImage; }
    void setDisabledImage(const QVImage& image) { _disabledImage = image; }
    QVImage inactiveImage() const { return _inactiveImage; }
    void setInactiveImage(const QVImage& image) { _inactiveImage = image; }
    QVImage inactiveHoverImage() const { return _inactiveHoverImage; }
    void setInactiveHoverImage(const QVImage& image) { _inactiveHoverImage = image; }
    // The small arrow shown when the button has a menu.
    QVImage arrowMenuImage() const { return _arrowMenuImage; }
    void setArrowMenuImage(const QVImage& image) { _arrowMenuImage = image; }

    // Six images by name; an empty name leaves that image as it was.
    void setActiveImage(const QString& activeName, const QString& hoverName, const QString& disabledName,
        const QString& inactiveName, const QString& inactiveHoverName, const QString& pushName);

    bool isMouseHover() const { return _isMouseHover; }
    bool isMouseDown() const { return _isMouseDown; }

    // Fade the button while its window is neither key nor main.
    bool usesInactiveTransparency() const { return _usesInactiveTransparency; }
    void setUsesInactiveTransparency(bool uses) { _usesInactiveTransparency = uses; }
    float inactiveTransparency() const { return _inactiveTransparency; }
    void setInactiveTransparency(float opacity) { _inactiveTransparency = opacity; }

    // Not owned; a listener that is destroyed unregisters itself.
    QVPushButtonCellListener* pushButtonCellListener() const { return _listener; }
    void setPushButtonCellListener(QVPushButtonCellListener* listener);

    // The image for the current state: disabled, pushed, hovered, normal, or
    // their background-window forms. Null draws nothing.
    virtual QVImage image() const;
    bool willDrawArrowMenuImage() const;
    // 1.0, or the inactive transparency in a background window when fading.
    qreal drawingOpacity() const;

    // The current image whole at the frame's origin, and the menu arrow.
    virtual void drawWithFrame(QPainter* painter, const QRectF& frame);

    // Pointer callbacks. The listener may destroy the button (and this cell):
    // overrides do their own work before calling these.
    virtual void mouseEntered();
    virtual void mouseExited();
    // The mouse went down on the button, or came back onto it while held.
    virtual bool startTracking();
    // The mouse went up, or left the button while held (`mouseIsUp` false).
    virtual void stopTracking(bool mouseIsUp);

protected:
    // Which image the state asks for, before any subclass swaps it.
    enum class Choice { Disabled, Push, Hover, Normal, InactiveHover, Inactive };
    Choice _imageChoice() const;
    QVImage _imageForChoice(Choice choice) const;

    bool _isEnabled() const;
    bool _isWindowKey() const;
    bool _isWindowMain() const;
    bool _isWindowKeyOrMain() const;
    // Calls the listener, if any. False when the call destroyed the button and
    // with it this cell: the caller must then return at once.
    bool _notify(void (QVPushButtonCellListener::*method)(QVPushButton*));

private:
    QVPushButton* _controlView = nullptr;
    QVImage _image;
    QVImage _hoverImage;
    QVImage _pushImage;
    QVImage _disabledImage;
    QVImage _inactiveImage;
    QVImage _inactiveHoverImage;
    QVImage _arrowMenuImage;
    bool _isMouseHover = false;
    bool _isMouseDown = false;
    bool _usesInactiveTransparency = true;
    float _inactiveTransparency = 0.7f;
    QVPushButtonCellListener* _listener = nullptr;
};
