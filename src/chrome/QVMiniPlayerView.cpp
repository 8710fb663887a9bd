#include "QVMiniPlayerView.h"

#include "QVConstants.h"
#include "QVFaceplateSliderButton.h"
#include "QVImage.h"
#include "QVInstantPushButtonCell.h"
#include "QVLocalizedString.h"
#include "QVMiniPlayerFaceplateController.h"
#include "QVMiniPlayerWindowButtonsView.h"
#include "QVNowPlayingView.h"
#include "QVPushButton.h"
#include "QVPushButtonTextCell.h"
#include "QVTextPushButton.h"
#include "QVUserDefaults.h"
#include "QVWindowActivity.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

static void initWindowChromeImages()
{
    static const bool initialized = [] {
        Q_INIT_RESOURCE(QVWindowChromeImages);
        return true;
    }();
    (void)initialized;
}

namespace {
constexpr int kCornerRadius = 5;
constexpr int kResizeArea = 10;
} // namespace

QVMiniPlayerView::QVMiniPlayerView(QWidget* parent, QVWebPlaybackService* playbackService,
    QVNotificationCenter* center, QVUserDefaults* defaults)
    : QWidget(parent)
    , _defaults(defaults ? defaults : QVUserDefaults::standardUserDefaults())
    , _windowButtonsView(new QVMiniPlayerWindowButtonsView(this, center))
    , _previous(new QVPushButton(this))
    , _playPause(new QVPushButton(this))
    , _next(new QVPushButton(this))
    , _nowPlayingView(new QVNowPlayingView(this))
    , _title(new QVTextPushButton(this))
    , _artist(new QVTextPushButton(this))
    , _elapsed(new QLabel(this))
    , _progress(new QVFaceplateSliderButton(this))
    , _length(new QVTextPushButton(this))
{
    initWindowChromeImages();
    // The texts sit centred in their own heights, the length at the right.
    for (QVTextPushButton* text : { _title, _artist, _length }) {
        if (QVPushButtonTextCell* cell = text->textCell()) {
            cell->setAlignment(text == _length ? Qt::AlignRight : Qt::AlignLeft);
            cell->setShouldUseCustomTextYOffset(false);
        }
    }
    setAccessibleName(QVLocalizedString("Mini Player"));
    _playPause->setCell(std::make_unique<QVInstantPushButtonCell>());
    _elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    _elapsed->setTextFormat(Qt::PlainText);
    _nowPlayingView->setMinFrame(kNowPlayingMinFrame);
    _nowPlayingView->setMaxFrame(kNowPlayingMaxFrame);
    connect(_windowButtonsView, &QVTrafficLightView::switchWindowModeRequested, this,
        &QVMiniPlayerView::switchWindowModeRequested);

    QVFaceplateController::Services services;
    services.playbackService = playbackService;
    services.notificationCenter = center;
    _controller = new QVMiniPlayerFaceplateController(services, this);
    _controller->setPreviousButton(_previous);
    _controller->setPlayPauseButton(_playPause);
    _controller->setNextButton(_next);
    _controller->setTrackTitleButton(_title);
    _controller->setTrackArtistButton(_artist);
    _controller->setTrackElapsedField(_elapsed);
    _controller->setTrackLengthButton(_length);
    _controller->setNowPlayingView(_nowPlayingView);
    _controller->setTrackProgressSlider(_progress);
    // Until the controller names them after the playing track.
    _title->setAccessibleName(QVLocalizedString("Track"));
    _artist->setAccessibleName(QVLocalizedString("Artist"));
    _length->setAccessibleName(QVLocalizedString("Track Length"));
    _controller->awakeFromNib();
    _layout();
}

QVMiniPlayerView::~QVMiniPlayerView()
{
    // The controller stops listening before the controls it points at go.
    delete _controller;
}

bool QVMiniPlayerView::isWide() const
{
    return width() >= kWideWidth;
}

QRect QVMiniPlayerView::resizeRect() const
{
    return QRect(width() - kResizeArea, height() - kResizeArea, kResizeArea, kResizeArea);
}

void QVMiniPlayerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    _layout();
}

void QVMiniPlayerView::_layout()
{
    // Previous, play/pause and next centred between the buttons column and 128.
    const int h = height();
    _previous->setGeometry(32, (h - 24) / 2, 24, 24);
    _playPause->setGeometry(60, (h - 30) / 2, 30, 30);
    _next->setGeometry(94, (h - 24) / 2, 24, 24);

    const bool wide = isWide();
    // The strip ends the margin before the right edge, within its own limits.
    QRect strip = kNowPlayingMinFrame;
    strip.setWidth(width() - strip.x() - kNowPlayingRightMargin);
    _nowPlayingView->setFrame(strip);
    strip = _nowPlayingView->geometry();
    const int textX = strip.x() + 54;
    const int textW = std::max(0, strip.width() - 54 - 8);
    _title->setGeometry(textX, strip.y() + 4, textW, 15);
    _artist->setGeometry(textX, strip.y() + 18, textW, 14);
    _elapsed->setGeometry(textX, strip.y() + 33, 34, 12);
    _progress->setGeometry(textX + 38, strip.y() + 34, std::max(0, textW - 38 - 40), 10);
    _length->setGeometry(textX + textW - 36, strip.y() + 33, 36, 12);
    // Compact: out of sight and out of the accessibility tree.
    for (QWidget* widget : { static_cast<QWidget*>(_nowPlayingView), static_cast<QWidget*>(_title),
             static_cast<QWidget*>(_artist), static_cast<QWidget*>(_elapsed),
             static_cast<QWidget*>(_progress), static_cast<QWidget*>(_length) })
        widget->setVisible(wide);
    _windowButtonsView->raise();
}

void QVMiniPlayerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.setClipPath(rounded);
    const bool active = QVWindowActivity::isKeyOrMainWindow(this);
    QVImage::named(active ? QStringLiteral("mini_player_bg") : QStringLiteral("mini_player_bg_inactive"))
        .draw(&painter, QRectF(rect()));
    const QVImage handle = QVImage::named(QStringLiteral("mini_player_resize_handle"));
    if (!handle.isNull())
        handle.draw(&painter,
            QRectF(QPointF(width() - handle.width() - 3, height() - handle.height() - 3), handle.size()));
}

QMenu* QVMiniPlayerView::menu()
{
    auto* menu = new QMenu(QVLocalizedString("Miniplayer Menu"), this);
    QAction* onTop
        = menu->addAction(QVLocalizedString("Always on Top"), this, &QVMiniPlayerView::toggleAlwaysOnTop);
    onTop->setCheckable(true);
    onTop->setChecked(_defaults->boolForKey(QString::fromLatin1(QVIsMiniPlayerAlwaysOnTopKey)));
    QAction* allWorkspaces = menu->addAction(
        QVLocalizedString("Keep on All Workspaces"), this, &QVMiniPlayerView::toggleKeepOnAllSpaces);
    allWorkspaces->setCheckable(true);
    allWorkspaces->setChecked(_defaults->boolForKey(QString::fromLatin1(QVIsMiniPlayerOnAllSpacesKey)));
    return menu;
}

void QVMiniPlayerView::_setKey(const char* key, bool on)
{
    // The window follows the stored settings (its change notice), as it does
    // when the preferences change them.
    _defaults->setValue(on, QString::fromLatin1(key));
}

void QVMiniPlayerView::toggleAlwaysOnTop()
{
    _setKey(QVIsMiniPlayerAlwaysOnTopKey,
        !_defaults->boolForKey(QString::fromLatin1(QVIsMiniPlayerAlwaysOnTopKey)));
}

void QVMiniPlayerView::toggleKeepOnAllSpaces()
{
    _setKey(QVIsMiniPlayerOnAllSpacesKey,
        !_defaults->boolForKey(QString::fromLatin1(QVIsMiniPlayerOnAllSpacesKey)));
}

void QVMiniPlayerView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* contextMenu = menu();
    contextMenu->setAttribute(Qt::WA_DeleteOnClose);
    contextMenu->popup(event->globalPos());
    event->accept();
}

QRect QVMiniPlayerView::resizedFrame(
    const QRect& start, const QPoint& delta, const QSize& minimum, const QSize& maximum)
{
    QRect frame = start;
    int width = start.width() + delta.x();
    int height = start.height() + delta.y();
    if (width > maximum.width()) {
        width = maximum.width();
    } else if (width <= kWideWidth && start.width() >= kWideWidth) {
        // Shrinking out of wide mode: it holds until 340, then compact.
        width = width >= kLeaveWideWidth ? kWideWidth : minimum.width();
    } else if (width > kCompactContentWidth && width < kWideWidth) {
        width = kWideWidth;
    } else if (width < minimum.width()) {
        width = minimum.width();
    }
    height = std::clamp(height, minimum.height(), std::max(minimum.height(), maximum.height()));
    frame.setSize(QSize(width, height));
    return frame;
}

QRect QVMiniPlayerView::movedFrame(const QRect& start, const QPoint& delta, const QRect& primaryAvailable,
    const QList<QRect>& availableAreas)
{
    QRect frame = start.translated(delta);
    if (frame.top() < primaryAvailable.top()) {
        bool onAnotherScreen = false;
        for (const QRect& area : availableAreas)
            onAnotherScreen = onAnotherScreen || area.contains(frame.topLeft());
        if (!onAnotherScreen)
            frame.moveTop(primaryAvailable.top());
    }
    return frame;
}

void QVMiniPlayerView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    _dragStart = event->globalPosition().toPoint();
    _dragStartFrame = window()->geometry();
    _drag = resizeRect().contains(event->position().toPoint()) ? Drag::Resize : Drag::Move;
    event->accept();
}

void QVMiniPlayerView::mouseMoveEvent(QMouseEvent* event)
{
    if (_drag == Drag::None || _drag == Drag::SystemMove || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - _dragStart;
    QWidget* top = window();
    if (_drag == Drag::Resize) {
        top->setGeometry(resizedFrame(_dragStartFrame, delta, top->minimumSize(), top->maximumSize()));
        return;
    }
    if (delta.manhattanLength() < QApplication::startDragDistance())
        return;
    // The window manager or compositor moves it where it can (snapping,
    // Wayland); elsewhere we do, under the same rule.
    QWindow* handle = top->windowHandle();
    if (handle && handle->startSystemMove()) {
        _drag = Drag::SystemMove;
        return;
    }
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    top->move(movedFrame(_dragStartFrame, delta, primary ? primary->availableGeometry() : QRect(), areas)
                  .topLeft());
}

void QVMiniPlayerView::mouseReleaseEvent(QMouseEvent* event)
{
    _drag = Drag::None;
    QWidget::mouseReleaseEvent(event);
}
