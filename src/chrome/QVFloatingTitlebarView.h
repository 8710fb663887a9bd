#pragma once

#include "QVTitlebarView.h"

#include <QList>
#include <QPointer>
#include <QRect>

class QVAbstractWebView;
class QVNotificationCenter;

// The main player's title bar: it lies transparently over the top of the page
// (the page's header), holds the window buttons and drags the window, but lets
// clicks through to the header's own controls (the page names them). Their
// areas are measured in one round trip when the pointer enters after they went
// stale (a resize, a load, a sign-in) and cut out of the bar's input mask.
class QVFloatingTitlebarView : public QVTitlebarView
{
    Q_OBJECT
public:
    static constexpr int kMaxIgnoredRects = 512;
    static constexpr int kMaxAnswerLength = 64 * 1024;

    explicit QVFloatingTitlebarView(QWidget* parent = nullptr, QVNotificationCenter* center = nullptr);
    ~QVFloatingTitlebarView() override;

    // The page to measure and the view the bar follows (top edge, full width).
    void setWebView(QVAbstractWebView* webView, QWidget* follow);

    bool isInLoadingMode() const { return _isInLoadingMode; }
    void setIsInLoadingMode(bool loading);
    bool isFullscreen() const { return _isFullscreen; }
    void setFullscreen(bool fullscreen);
    bool isTextFieldFirstResponder() const { return _isTextFieldFirstResponder; }

    // The page's click-through areas, in this view's coordinates.
    QList<QRect> ignoredWebRects() const { return _ignoredWebRects; }
    bool areIgnoredWebRectsStale() const { return _areIgnoredWebRectsStale; }
    // Forget the areas; they are measured again at the next pointer entry.
    void invalidateIgnoredWebRectsArray();
    // Measures now (unless loading): one page read.
    void updateIgnoredWebRects();
    // The page's answer, in page pixels, as areas of this view; junk is skipped.
    static QList<QRect> parseIgnoredWebRects(const QString& answer, qreal zoomFactor, const QRect& bounds);
    // The one script that measures every named element.
    static QString ignoredWebRectsScript();

    // A load starts: the page's focus is gone and the areas will move.
    void webViewDidStartLoading();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void _followWebView();
    void _layoutTrafficLights();
    void _applyMask();

    QVNotificationCenter* _center;
    QVAbstractWebView* _webView = nullptr;
    QPointer<QWidget> _follow;
    QList<QRect> _ignoredWebRects;
    bool _areIgnoredWebRectsStale = true;
    bool _isInLoadingMode = false;
    bool _isFullscreen = false;
    bool _isTextFieldFirstResponder = false;
};
