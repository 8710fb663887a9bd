#pragma once

#include "QVTitlebarView.h"

// The main player's title bar. For now a strip above the page with the window
// buttons that moves the window; floating over the page header, with clicks
// passed to the page's own controls, comes with the window buttons' full form.
class QVFloatingTitlebarView : public QVTitlebarView
{
    Q_OBJECT
public:
    explicit QVFloatingTitlebarView(QWidget* parent = nullptr);

    bool isInLoadingMode() const { return _isInLoadingMode; }
    void setIsInLoadingMode(bool loading);
    bool isFullscreen() const { return _isFullscreen; }
    void setFullscreen(bool fullscreen);

private:
    bool _isInLoadingMode = false;
    bool _isFullscreen = false;
};
