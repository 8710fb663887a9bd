#pragma once

#include "QVPushButtonCell.h"

// A push button cell for buttons whose look changes when clicked (play and
// pause): after a click it shows no hover image until the mouse has left the
// button once, so the new look is not hidden behind the old hover image.
class QVInstantPushButtonCell : public QVPushButtonCell
{
public:
    bool shouldUseHoverImage() const { return _shouldUseHoverImage; }
    void setShouldUseHoverImage(bool use) { _shouldUseHoverImage = use; }

    QVImage image() const override;
    void mouseExited() override;
    void stopTracking(bool mouseIsUp) override;

private:
    bool _shouldUseHoverImage = true;
};
