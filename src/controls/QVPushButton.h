#pragma once

#include "QVImage.h"

#include <QAbstractButton>
#include <QMenu>
#include <QPointer>

#include <memory>

class QVPushButtonCell;
class QVPushButtonCellListener;

// A button drawn from images: one per state (normal, hover, pressed, disabled,
// and the two background-window looks), faded in background windows. Its cell
// holds the images and tracks the pointer; the button forwards paint and
// pointer events to it and emits clicked() as any button does. It never takes
// keyboard focus: chrome buttons must not pull focus away from the page.
class QVPushButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QVPushButton(QWidget* parent = nullptr);
    ~QVPushButton() override;

    // Never null unless replaced by nullptr; then the setters do nothing and
    // the button draws nothing.
    QVPushButtonCell* cell() const { return _cell.get(); }
    // Takes the cell (an instant cell, say) in place of the current one.
    void setCell(std::unique_ptr<QVPushButtonCell> cell);

    // The normal image; repaints.
    void setImage(const QVImage& image);
    // Six images by name; an empty name leaves that image as it was.
    void setActiveImage(const QString& activeName, const QString& hoverName, const QString& disabledName,
        const QString& inactiveName, const QString& inactiveHoverName, const QString& pushName);

    void setActiveImage(const QVImage& image) { setImage(image); }
    void setHoverImage(const QVImage& image);
    void setDisabledImage(const QVImage& image);
    void setInactiveImage(const QVImage& image);
    void setInactiveHoverImage(const QVImage& image);
    void setPushImage(const QVImage& image);
    void setArrowMenuImage(const QVImage& image);

    // By name; an empty name clears the image.
    void setActiveImageByName(const QString& name);
    void setHoverImageByName(const QString& name);
    void setDisabledImageByName(const QString& name);
    void setInactiveImageByName(const QString& name);
    void setPushImageByName(const QString& name);

    void setUsesInactiveTransparency(bool uses);
    void setInactiveTransparency(float opacity);
    void setPushButtonCellListener(QVPushButtonCellListener* listener);

    // Not owned. Shown on a right click here, on a left click by the pop-up button.
    QMenu* menu() const { return _menu; }
    void setMenu(QMenu* menu);

    // The normal image's size.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return QSize(0, 0); }

protected:
    // For subclasses that bring their own kind of cell.
    QVPushButton(std::unique_ptr<QVPushButtonCell> cell, QWidget* parent);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void _setup();
    template <typename Setter> void _setOnCell(Setter setter);

    std::unique_ptr<QVPushButtonCell> _cell;
    QPointer<QMenu> _menu;
};
