#pragma once

#include "QVFaceplateController.h"

// The mini player's faceplate: the same controller with its own, smaller
// play and pause images.
class QVMiniPlayerFaceplateController : public QVFaceplateController
{
    Q_OBJECT
public:
    using QVFaceplateController::QVFaceplateController;

    QString playActiveImageName() const override { return QStringLiteral("mini_play"); }
    QString playHoverImageName() const override { return QStringLiteral("mini_play_hover"); }
    QString playDisabledImageName() const override { return QStringLiteral("mini_play_disabled"); }
    QString playPushImageName() const override { return QStringLiteral("mini_play_down"); }
    QString pauseActiveImageName() const override { return QStringLiteral("mini_pause"); }
    QString pauseHoverImageName() const override { return QStringLiteral("mini_pause_hover"); }
    QString pauseDisabledImageName() const override { return QStringLiteral("mini_pause_disabled"); }
    QString pausePushImageName() const override { return QStringLiteral("mini_pause_down"); }
};
