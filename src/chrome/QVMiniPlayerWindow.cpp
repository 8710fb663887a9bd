#include "QVMiniPlayerWindow.h"

#include "QVConstants.h"
#include "QVFaceplateController.h"
#include "QVLog.h"
#include "QVMiniPlayerView.h"
#include "QVNotificationCenter.h"
#include "QVUserDefaults.h"
#include "QVUtils.h"
#include "QVWebPlaybackService.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <xcb/xcb.h>

namespace {
constexpr quint32 kAllDesktops = 0xFFFFFFFF;

bool isWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

xcb_connection_t* x11Connection()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

xcb_window_t rootWindow(xcb_connection_t* connection)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

quint32 currentDesktop(xcb_connection_t* connection)
{
    const xcb_atom_t current = atom(connection, "_NET_CURRENT_DESKTOP");
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection,
        xcb_get_property(connection, 0, rootWindow(connection), current, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    quint32 desktop = 0;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        desktop = *static_cast<const quint32*>(xcb_get_property_value(reply));
    free(reply);
    return desktop;
}
} // namespace

QVMiniPlayerWindow::QVMiniPlayerWindow(QWidget* parent, QVUserDefaults* defaults,
    QVWebPlaybackService* playbackService, QVNotificationCenter* center)
    : QVWindow(parent)
    , _defaults(defaults ? defaults : QVUserDefaults::standardUserDefaults())
    , _playback(playbackService ? playbackService : QVWebPlaybackService::sharedInstance())
    , _center(center ? center : QVNotificationCenter::defaultCenter())
    , _usesTranslucency(compositorRuns())
{
    setWindowTitle(QStringLiteral("Quiv"));
    setAccessibleName(QStringLiteral("Quiv Mini Player"));
    // Translucency must be asked for before the native window exists.
    if (_usesTranslucency)
        setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(kMinimumSize);
    setMaximumSize(kMaximumSize);

    _miniPlayerView = new QVMiniPlayerView(contentView(), _playback, _center, _defaults);
    auto* layout = new QVBoxLayout(contentView());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_miniPlayerView);
    connect(_miniPlayerView, &QVMiniPlayerView::switchWindowModeRequested, this,
        &QVMiniPlayerWindow::switchWindowModeRequested);

    // Compact, centred, until a saved frame says otherwise.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    setGeometry(QRect(
        available.center() - QPoint(kMinimumSize.width() / 2, kMinimumSize.height() / 2), kMinimumSize));
    _ensureSavedRectIsVisible();

    _center->addObserver(this, QString::fromLatin1(QVUserDefaultsDidChangeNotification),
        [this](const QVNotification&) { applyWindowSettings(); });
    applyWindowSettings();
}

QVMiniPlayerWindow::~QVMiniPlayerWindow()
{
    _center->removeObserver(this);
}

bool QVMiniPlayerWindow::compositorRuns()
{
    if (isWayland())
        return true;
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return false;
    const xcb_atom_t selection = atom(connection, "_NET_WM_CM_S0");
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* reply
        = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    free(reply);
    return owned;
}

bool QVMiniPlayerWindow::isAlwaysOnTop() const
{
    return windowFlags() & Qt::WindowStaysOnTopHint;
}

void QVMiniPlayerWindow::applyWindowSettings()
{
    const bool onTop = _defaults->boolForKey(QString::fromLatin1(QVIsMiniPlayerAlwaysOnTopKey));
    const bool allWorkspaces = _defaults->boolForKey(QString::fromLatin1(QVIsMiniPlayerOnAllSpacesKey));
    if (onTop != isAlwaysOnTop()) {
        // On the native window: QWidget::setWindowFlags would hide the window.
        const Qt::WindowFlags flags
            = onTop ? windowFlags() | Qt::WindowStaysOnTopHint : windowFlags() & ~Qt::WindowStaysOnTopHint;
        overrideWindowFlags(flags);
        if (QWindow* handle = windowHandle())
            handle->setFlags(flags);
    }
    if (allWorkspaces != _onAllWorkspaces) {
        _onAllWorkspaces = allWorkspaces;
        if (windowHandle())
            _applyAllWorkspacesX11(allWorkspaces);
    }
    static bool told = false;
    if (isWayland() && (onTop || allWorkspaces) && !told) {
        told = true;
        QVLog("[WARNING] Under Wayland the desktop decides whether the mini player stays on top and on all "
              "workspaces");
    }
}

void QVMiniPlayerWindow::_applyAllWorkspacesX11(bool on)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    const xcb_atom_t desktopAtom = atom(connection, "_NET_WM_DESKTOP");
    if (desktopAtom == XCB_ATOM_NONE)
        return;
    const xcb_window_t window = xcb_window_t(winId());
    const quint32 desktop = on ? kAllDesktops : currentDesktop(connection);
    // Before mapping the window manager reads the property; afterwards it
    // wants to be asked.
    if (on)
        xcb_change_property(
            connection, XCB_PROP_MODE_REPLACE, window, desktopAtom, XCB_ATOM_CARDINAL, 32, 1, &desktop);
    else
        xcb_delete_property(connection, window, desktopAtom);
    if (isVisible()) {
        xcb_client_message_event_t message {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = desktopAtom;
        message.data.data32[0] = desktop;
        message.data.data32[1] = 1; // from an ordinary application
        xcb_send_event(connection, 0, rootWindow(connection),
            XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
            reinterpret_cast<const char*>(&message));
    }
    xcb_flush(connection);
}

void QVMiniPlayerWindow::showEvent(QShowEvent* event)
{
    QVWindow::showEvent(event);
    // The native window exists now: the workspace setting reaches it.
    if (_onAllWorkspaces)
        _applyAllWorkspacesX11(true);
}

std::optional<QRect> QVMiniPlayerWindow::restoredFrame(const QString& saved,
    const QList<QRect>& availableAreas, const QRect& primaryAvailable, QSize minimum, QSize maximum)
{
    if (saved.isEmpty())
        return std::nullopt;
    const QRectF parsed = QVRectFromString(saved);
    // The exit writes an empty frame when there was no mini player.
    if (parsed.isNull() || !(parsed.width() >= 1) || !(parsed.height() >= 1) || std::abs(parsed.x()) > 1e6
        || std::abs(parsed.y()) > 1e6 || parsed.width() > 1e6 || parsed.height() > 1e6) {
        QVLog("[WARNING] Ignoring the saved mini player frame \"%s\"",
            qPrintable(QVUtils::stringForLog(saved, 80)));
        return std::nullopt;
    }
    QRect frame(QPoint(qRound(parsed.x()), qRound(parsed.y())),
        QSize(qRound(parsed.width()), qRound(parsed.height())).expandedTo(minimum).boundedTo(maximum));
    const QPoint bottomLeft(frame.left(), frame.bottom());
    const QPoint bottomRight(frame.right(), frame.bottom());
    for (const QRect& area : availableAreas)
        if (area.contains(bottomLeft) || area.contains(bottomRight))
            return frame;
    // Lost: centred where panels leave room on the primary screen.
    frame.moveTopLeft(QPoint(primaryAvailable.x() + (primaryAvailable.width() - frame.width()) / 2,
        primaryAvailable.y() + (primaryAvailable.height() - frame.height()) / 2));
    return frame;
}

void QVMiniPlayerWindow::_ensureSavedRectIsVisible()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const std::optional<QRect> frame
        = restoredFrame(_defaults->stringForKey(QString::fromLatin1(QVMiniPlayerFrameKey)), areas,
            primary ? primary->availableGeometry() : QRect());
    if (frame)
        setGeometry(*frame);
}

bool QVMiniPlayerWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Our own drag resizes it, with its snapping: the edges are not handed to
    // the window manager.
    if (watched == windowHandle()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove))
        return false;
    return QVWindow::eventFilter(watched, event);
}

void QVMiniPlayerWindow::closeEvent(QCloseEvent* event)
{
    // Hidden, never closed: the window service shows it again.
    event->ignore();
    hide();
}

void QVMiniPlayerWindow::keyPressEvent(QKeyEvent* event)
{
    // Held down, a toggle would flip many times a second.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            _miniPlayerView->faceplateController()->playPause();
        event->accept();
        return;
    }
    QVWindow::keyPressEvent(event);
}

void QVMiniPlayerWindow::resizeEvent(QResizeEvent* event)
{
    QVWindow::resizeEvent(event);
    _updateMask();
}

void QVMiniPlayerWindow::_updateMask()
{
    if (_usesTranslucency)
        return;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}
