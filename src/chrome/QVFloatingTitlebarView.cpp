#include "QVFloatingTitlebarView.h"

QVFloatingTitlebarView::QVFloatingTitlebarView(QWidget* parent)
    : QVTitlebarView(parent)
{
}

void QVFloatingTitlebarView::setIsInLoadingMode(bool loading)
{
    _isInLoadingMode = loading;
    update();
}

void QVFloatingTitlebarView::setFullscreen(bool fullscreen)
{
    _isFullscreen = fullscreen;
    setShouldDrawWindowTitle(!fullscreen);
}
