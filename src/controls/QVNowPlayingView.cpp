#include "QVNowPlayingView.h"

#include "QVAlbumArtHandler.h"
#include "QVImage.h"
#include "QVLocalizedString.h"
#include "QVWebPlaybackService.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QWindow>

#include <algorithm>

namespace {
constexpr int kFadeInterval = 50; // ms

// The art is a button for a screen reader: pressing it goes to the album.
class NowPlayingAccessible : public QAccessibleWidget
{
public:
    explicit NowPlayingAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Button)
    {
    }
    QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            emit static_cast<QVNowPlayingView*>(widget())->clicked();
    }
};

QAccessibleInterface* nowPlayingAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QVNowPlayingView") && object && object->isWidgetType())
        return new NowPlayingAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

constexpr int kArtSide = 46;
constexpr qreal kArtRadius = 2.0;
constexpr int kLogoBottom = 10;
} // namespace

QVNowPlayingView::QVNowPlayingView(QWidget* parent, QVAlbumArtHandler* albumArtHandler)
    : QWidget(parent)
    , _handler(albumArtHandler ? albumArtHandler : QVWebPlaybackService::sharedInstance()->albumArtHandler())
{
    static const bool installed = [] {
        QAccessible::installFactory(nowPlayingAccessibleFactory);
        return true;
    }();
    (void)installed;
    _fadeTimer.setInterval(kFadeInterval);
    connect(&_fadeTimer, &QTimer::timeout, this, &QVNowPlayingView::_fadeTimerTick);
    if (_handler) {
        _handler->addAlbumArtListener(this);
        _albumArt = _handler->currentAlbumArtImage();
    }
    setAccessibleName(QVLocalizedString("Album Art"));
    setAccessibleDescription(QVLocalizedString("Shows the playing album"));
    setFocusPolicy(Qt::TabFocus);
}

QVNowPlayingView::~QVNowPlayingView()
{
    if (_handler)
        _handler->removeAlbumArtListener(this);
}

void QVNowPlayingView::setShouldShowLogo(bool show)
{
    if (show == _shouldShowLogo)
        return;
    _shouldShowLogo = show;
    _fadeTimer.stop();
    if (show) {
        _logoAlphaLevel = 0.0f;
        _fadeTimer.start();
    }
    update();
}

void QVNowPlayingView::_fadeTimerTick()
{
    if (_logoAlphaLevel >= 1.0f) {
        _logoAlphaLevel = 1.0f;
        _fadeTimer.stop();
        return;
    }
    _logoAlphaLevel += _logoAlphaLevel <= 0.5f ? 0.05f : 0.1f;
    update();
}

QSize QVNowPlayingView::clampedSize(const QSize& size) const
{
    QSize clamped = size;
    if (!_minFrame.isNull())
        clamped = clamped.expandedTo(_minFrame.size());
    if (!_maxFrame.isNull())
        clamped = clamped.boundedTo(_maxFrame.size());
    return clamped;
}

void QVNowPlayingView::setFrame(const QRect& frame)
{
    setGeometry(QRect(frame.topLeft(), clampedSize(frame.size())));
}

void QVNowPlayingView::setFrameSize(const QSize& size)
{
    resize(clampedSize(size));
}

QRect QVNowPlayingView::_albumArtRect() const
{
    return QRect(1, height() - 2 - kArtSide, kArtSide, kArtSide);
}

QPainterPath QVNowPlayingView::_albumArtBezierPath(const QRectF& rect, qreal radius)
{
    const qreal r = std::min(radius, std::min(rect.width(), rect.height()) / 2);
    QPainterPath path;
    path.addRoundedRect(rect, r, r);
    return path;
}

void QVNowPlayingView::onAlbumArtAvailable(const QImage& image)
{
    // Shared, not copied: drawing scales a copy and leaves this one alone.
    _albumArt = image;
    update();
}

void QVNowPlayingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int W = width();
    const int H = height();

    // A scaled copy: the handler's image is shared with notices and MPRIS.
    {
        const QImage& art = _albumArt;
        if (!art.isNull()) {
            const QRectF rect = _albumArtRect();
            painter.save();
            painter.setClipPath(_albumArtBezierPath(rect, kArtRadius));
            const qreal scale = QVImage::deviceScale(&painter);
            const QImage scaled = art.scaled(QSize(int(kArtSide * scale), int(kArtSide * scale)),
                Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            painter.drawImage(rect, scaled);
            painter.restore();
        }
    }

    // The frame pieces sit on the bottom edge.
    const QVImage left = QVImage::named(QStringLiteral("now_playing_left_cap"));
    const QVImage right = QVImage::named(QStringLiteral("now_playing_right_cap"));
    const QVImage middle = QVImage::named(QStringLiteral("now_playing_bg"));
    const int leftW = int(left.width());
    const int rightW = int(right.width());
    left.draw(&painter, QRectF(0, H - left.height(), left.width(), left.height()));
    right.draw(&painter, QRectF(W - rightW - 2, H - right.height(), right.width(), right.height()));
    const int middleW = W - leftW - rightW - 2;
    if (middleW > 0)
        middle.draw(&painter, QRectF(leftW, H - middle.height(), middleW, middle.height()));

    if (_shouldShowLogo) {
        const QVImage logo = QVImage::named(QStringLiteral("now_playing_quiv_logo"));
        const int x = int((W - logo.width()) / 2) + 1;
        logo.draw(&painter, QRectF(x, H - kLogoBottom - logo.height(), logo.width(), logo.height()),
            std::clamp(qreal(_logoAlphaLevel), 0.0, 1.0));
    }

    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(_albumArtRect()).adjusted(0.75, 0.75, -0.75, -0.75), 2, 2);
    }
}

void QVNowPlayingView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    _pressed = true;
    _pressPosition = event->position().toPoint();
    if (_albumArtRect().contains(_pressPosition)) {
        QPointer<QVNowPlayingView> self(this);
        emit clicked();
        // The receiver may have closed the window with this view.
        if (!self)
            return;
    }
    event->accept();
}

void QVNowPlayingView::mouseMoveEvent(QMouseEvent* event)
{
    if (!_pressed || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - _pressPosition).manhattanLength() < QApplication::startDragDistance())
        return;
    _pressed = false;
    // The strip is a handle for the whole window, as the title bar is.
    if (QWindow* handle = window()->windowHandle())
        handle->startSystemMove();
}

void QVNowPlayingView::mouseReleaseEvent(QMouseEvent* event)
{
    _pressed = false;
    QWidget::mouseReleaseEvent(event);
}

void QVNowPlayingView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}
