#pragma once

#include <QWidget>

class QVWebView;

// The main player window: holds the one web view. For now a plain window
// around the view; its own title bar, sizing and overlays come later.
class QVMainPlayerWindow2 : public QWidget
{
    Q_OBJECT
public:
    explicit QVMainPlayerWindow2(QWidget* parent = nullptr);
    ~QVMainPlayerWindow2() override;

    QVWebView* webView() const { return _webView; }
    bool isWebViewLoaded() const { return _isWebViewLoaded; }
    void setIsWebViewLoaded(bool loaded) { _isWebViewLoaded = loaded; }

    // Loads "about:blank" so the page unloads before the program ends.
    void unloadWebView();
    void focusSearchField();
    void showNoConnectionOverlay();

signals:
    // The user closed the window with its close button.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QVWebView* _webView;
    bool _isWebViewLoaded = false;
    bool _closingFromCode = false;
    friend class QVWindowService;
};
