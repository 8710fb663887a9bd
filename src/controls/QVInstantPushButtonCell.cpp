#include "QVInstantPushButtonCell.h"

QVImage QVInstantPushButtonCell::image() const
{
    const Choice choice = _imageChoice();
    if (!_shouldUseHoverImage) {
        // Swap by the state that picked the image, not by comparing images: the
        // same image often serves as both the hover and the inactive-hover look.
        if (choice == Choice::Hover)
            return regularButtonImage();
        if (choice == Choice::InactiveHover)
            return inactiveImage().isNull() ? regularButtonImage() : inactiveImage();
    }
    return _imageForChoice(choice);
}

void QVInstantPushButtonCell::mouseExited()
{
    _shouldUseHoverImage = true;
    QVPushButtonCell::mouseExited();
}

void QVInstantPushButtonCell::stopTracking(bool mouseIsUp)
{
    _shouldUseHoverImage = false;
    QVPushButtonCell::stopTracking(mouseIsUp);
}
