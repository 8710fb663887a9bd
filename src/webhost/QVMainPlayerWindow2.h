#pragma once

#include "QVWebWindow.h"

#include <QWidget>

class QVWebView;

// The main player window: holds the one web view. For now a plain window
// around the view; its own title bar, sizing and overlays come later.
class QVMainPlayerWindow2 : public QWidget, public QVWebWindow
{
    Q_OBJECT
public:
    explicit QVMainPlayerWindow2(QWidget* parent = nullptr);
    ~QVMainPlayerWindow2() override;

    QWidget* windowWidget() override { return this; }
    QVAbstractWebView* webView() const override;
    QVWebView* view() const { return _webView; }
    bool isWebViewLoaded() const override { return _isWebViewLoaded; }
    void setIsWebViewLoaded(bool loaded) override { _isWebViewLoaded = loaded; }

    void unloadWebView() override;
    void focusSearchField();
    void showNoConnectionOverlay() override {}
    void hideNoConnectionOverlay() override {}
    bool isNoConnectionOverlayVisible() const override { return false; }

signals:
    // The user closed the window with its close button.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QVWebView* _webView;
    bool _isWebViewLoaded = false;
};
