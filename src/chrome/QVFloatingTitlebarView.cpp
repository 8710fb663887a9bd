#include "QVFloatingTitlebarView.h"

#include "QVAbstractWebView.h"
#include "QVConstants.h"
#include "QVNotificationCenter.h"
#include "QVPushButton.h"
#include "QVTrafficLightView.h"
#include "QVUIConstantsService.h"

#include <QEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMouseEvent>
#include <QWebEngineView>

#include <cmath>

QVFloatingTitlebarView::QVFloatingTitlebarView(QWidget* parent, QVNotificationCenter* center)
    : QVTitlebarView(parent)
    , _center(center ? center : QVNotificationCenter::defaultCenter())
{
    setAccessibleName(QStringLiteral("Title Bar"));
    const auto observe = [this](const char* name, auto handler) {
        _center->addObserver(
            this, QString::fromLatin1(name), [handler](const QVNotification&) { handler(); });
    };
    observe(QVTextFieldDidBecomeFirstResponderNotification, [this] { _isTextFieldFirstResponder = true; });
    observe(QVTextFieldDidResignFirstResponderNotification, [this] { _isTextFieldFirstResponder = false; });
    observe(QVWindowServiceWindowChangedNotification, [this] { _isTextFieldFirstResponder = false; });
    // Signing in or out lays the header out anew.
    observe(QVUserDidSignInNotification, [this] { invalidateIgnoredWebRectsArray(); });
    observe(QVUserDidSignOutNotification, [this] { invalidateIgnoredWebRectsArray(); });
    _layoutTrafficLights();
}

QVFloatingTitlebarView::~QVFloatingTitlebarView()
{
    _center->removeObserver(this);
}

void QVFloatingTitlebarView::setWebView(QVAbstractWebView* webView, QWidget* follow)
{
    if (_follow)
        _follow->removeEventFilter(this);
    _webView = webView;
    _follow = follow;
    if (follow) {
        follow->installEventFilter(this);
        _followWebView();
    }
    invalidateIgnoredWebRectsArray();
}

bool QVFloatingTitlebarView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == _follow && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        _followWebView();
    return QVTitlebarView::eventFilter(watched, event);
}

void QVFloatingTitlebarView::_followWebView()
{
    if (!_follow || _follow->parentWidget() != parentWidget())
        return;
    setGeometry(_follow->x(), _follow->y(), _follow->width(), height());
    raise();
}

void QVFloatingTitlebarView::setIsInLoadingMode(bool loading)
{
    _isInLoadingMode = loading;
    _layoutTrafficLights();
    invalidateIgnoredWebRectsArray();
    update();
}

void QVFloatingTitlebarView::setFullscreen(bool fullscreen)
{
    _isFullscreen = fullscreen;
    setShouldDrawWindowTitle(!fullscreen);
    trafficLightsView()->setFullscreen(fullscreen);
}

void QVFloatingTitlebarView::_layoutTrafficLights()
{
    QVTrafficLightView* lights = trafficLightsView();
    lights->move(_isInLoadingMode ? QPoint(5, 8) : QPoint(12, 9));
    // The flat look has no separate full-screen button: zoom is full screen.
    if (QVUIConstantsService::sharedInstance()->isYosemite())
        fullScreenButton()->hide();
}

void QVFloatingTitlebarView::resizeEvent(QResizeEvent* event)
{
    QVTitlebarView::resizeEvent(event);
    _layoutTrafficLights();
    // Maximise, full screen or a re-layout moves the page's controls.
    invalidateIgnoredWebRectsArray();
}

void QVFloatingTitlebarView::webViewDidStartLoading()
{
    // A reload takes the page's search box (and its focus) away without a blur.
    _isTextFieldFirstResponder = false;
    invalidateIgnoredWebRectsArray();
}

void QVFloatingTitlebarView::invalidateIgnoredWebRectsArray()
{
    _ignoredWebRects.clear();
    _areIgnoredWebRectsStale = true;
    _applyMask();
}

void QVFloatingTitlebarView::enterEvent(QEnterEvent* event)
{
    QVTitlebarView::enterEvent(event);
    if (_areIgnoredWebRectsStale)
        updateIgnoredWebRects();
}

QString QVFloatingTitlebarView::ignoredWebRectsScript()
{
    // Every named element's box in one trip; the page's lists are bounded here.
    return QStringLiteral("(function(){try{var d=Q.Models.Desktop,out=[],n=0;"
                          "function add(e){if(e&&e.getBoundingClientRect){var r=e.getBoundingClientRect();"
                          "if(r.width>0&&r.height>0)out.push([r.left,r.top,r.width,r.height]);}}"
                          "var c=d.IGNORED_DOM_CLASSES||[],i=d.IGNORED_DOM_IDS||[];"
                          "for(var k=0;k<c.length&&n<%1;k++,n++)if(typeof c[k]=='string'&&c[k])"
                          "add(document.getElementsByClassName(c[k])[0]);"
                          "for(var k=0;k<i.length&&n<%1;k++,n++)if(typeof "
                          "i[k]=='string'&&i[k])add(document.getElementById(i[k]));"
                          "return JSON.stringify(out);}catch(e){return '[]';}})()")
        .arg(kMaxIgnoredRects);
}

QList<QRect> QVFloatingTitlebarView::parseIgnoredWebRects(
    const QString& answer, qreal zoomFactor, const QRect& bounds)
{
    QList<QRect> rects;
    if (answer.size() > kMaxAnswerLength || !(zoomFactor > 0) || !std::isfinite(zoomFactor))
        return rects;
    const QJsonArray entries = QJsonDocument::fromJson(answer.toUtf8()).array();
    for (const QJsonValue& entry : entries) {
        if (rects.size() >= kMaxIgnoredRects)
            break;
        const QJsonArray box = entry.toArray();
        if (box.size() != 4)
            continue;
        double values[4];
        bool valid = true;
        for (int i = 0; i < 4; ++i) {
            values[i] = box.at(i).toDouble(NAN) * zoomFactor;
            valid = valid && std::isfinite(values[i]) && std::abs(values[i]) < 1e6;
        }
        if (!valid)
            continue;
        // Whole pixels that cover the element, only where they meet the bar.
        const QRect rect = QRectF(values[0], values[1], values[2], values[3]).toAlignedRect() & bounds;
        if (!rect.isEmpty())
            rects.append(rect);
    }
    return rects;
}

void QVFloatingTitlebarView::updateIgnoredWebRects()
{
    _ignoredWebRects.clear();
    // While loading the whole header drags; the areas come after the load.
    if (_isInLoadingMode || !_webView) {
        _applyMask();
        return;
    }
    const QStringList answer = _webView->evaluateBatch({ ignoredWebRectsScript() });
    auto* engineView = qobject_cast<QWebEngineView*>(_follow.data());
    const qreal zoom = engineView ? engineView->zoomFactor() : 1.0;
    // The page's pixels, placed where the page lies under this bar.
    const QPoint offset = _follow ? _follow->mapTo(window(), QPoint()) - mapTo(window(), QPoint()) : QPoint();
    for (const QRect& rect : parseIgnoredWebRects(answer.value(0), zoom, rect().translated(-offset)))
        _ignoredWebRects.append(rect.translated(offset));
    // No answer or no areas still counts as measured: no read on every entry.
    _areIgnoredWebRectsStale = false;
    _applyMask();
}

void QVFloatingTitlebarView::_applyMask()
{
    if (_ignoredWebRects.isEmpty()) {
        clearMask();
        return;
    }
    QRegion region(rect());
    for (const QRect& area : _ignoredWebRects)
        region -= area;
    // The window buttons stay ours whatever the page lays under them.
    region += trafficLightsView()->geometry();
    // An empty mask means none: keep one pixel so a page covering the bar wins.
    setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}

void QVFloatingTitlebarView::mousePressEvent(QMouseEvent* event)
{
    // While a text field has the focus a drag selects text, it does not move the window.
    if (_isTextFieldFirstResponder && event->button() == Qt::LeftButton) {
        event->ignore();
        return;
    }
    QVTitlebarView::mousePressEvent(event);
}
