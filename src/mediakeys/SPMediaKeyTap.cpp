#include "SPMediaKeyTap.h"

#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVUserDefaults.h"
#include "SPInvocationGrabber.h"
#include "SPSettingsDaemonKeys.h"
#include "SPX11KeyGrabber.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMutexLocker>

#include <atomic>
#include <unistd.h>

namespace {
const QString kKGlobalAccel = QStringLiteral("org.kde.kglobalaccel");

// What the last tap to choose found: whether any backend holds the keys.
enum class TapState { Unknown, Holding, NotHolding };
std::atomic<TapState> gTapState { TapState::Unknown };
} // namespace

SPMediaKeyTap::Environment SPMediaKeyTap::Environment::fromProcess()
{
    Environment environment;
    // Under Wayland, XWayland included, the compositor sends the keys to
    // MPRIS players; a grab would only fight it.
    environment.waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    environment.hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY");
    return environment;
}

SPMediaKeyTap::SPMediaKeyTap(SPMediaKeyTapDelegate* delegate, QObject* parent)
    : SPMediaKeyTap(delegate, Environment::fromProcess(), parent)
{
}

SPMediaKeyTap::SPMediaKeyTap(SPMediaKeyTapDelegate* delegate, Environment environment, QObject* parent)
    : QObject(parent)
    , _delegate(delegate)
    , _environment(std::move(environment))
    , _bus(_environment.bus ? *_environment.bus : QDBusConnection::sessionBus())
{
}

SPMediaKeyTap::~SPMediaKeyTap()
{
    stopWatchingMediaKeys();
}

bool SPMediaKeyTap::usesGlobalMediaKeyTap()
{
    if (QVUserDefaults::standardUserDefaults()->boolForKey(QString::fromLatin1(QVIgnoreMediaKeysKey)))
        return false;
    return gTapState.load() != TapState::NotHolding;
}

QStringList SPMediaKeyTap::defaultMediaKeyUserBundleIdentifiers()
{
    // Desktop-file ids of the media applications that may own the keys.
    return { QString::fromLatin1(kApplicationId), QStringLiteral("spotify"),
        QStringLiteral("org.gnome.Rhythmbox3"), QStringLiteral("rhythmbox"), QStringLiteral("vlc"),
        QStringLiteral("org.videolan.vlc"), QStringLiteral("org.clementine_player.clementine"),
        QStringLiteral("org.strawberrymusicplayer.strawberry"), QStringLiteral("org.kde.elisa"),
        QStringLiteral("org.gnome.Music"), QStringLiteral("audacious"), QStringLiteral("mpv"),
        QStringLiteral("io.github.quodlibet.QuodLibet"), QStringLiteral("deadbeef"),
        QStringLiteral("org.kde.amarok"), QStringLiteral("totem"), QStringLiteral("org.gnome.Totem"),
        QStringLiteral("smplayer"), QStringLiteral("lollypop"), QStringLiteral("org.gnome.Lollypop") };
}

QVUserDefaults* SPMediaKeyTap::_defaults() const
{
    return _environment.userDefaults ? _environment.userDefaults : QVUserDefaults::standardUserDefaults();
}

void SPMediaKeyTap::startWatchingMediaKeys()
{
    stopWatchingMediaKeys();
    setShouldInterceptMediaKeyEvents(true);
    const quint64 generation = ++_generation;
    _choosing = true;
    _backend = Backend::Choosing;

    if (_environment.waylandSession) {
        QVLog("Media keys reach us through MPRIS in a Wayland session: no grab");
        _setBackend(Backend::DesktopRoutesToPlayers);
        return;
    }
    if (!_bus.isConnected()) {
        QVLog("[WARNING] No session bus: media keys cannot be had from a settings daemon");
        _tryX11KeyGrab();
        return;
    }
    // One asynchronous question: who is on the bus.
    auto* watcher
        = new QDBusPendingCallWatcher(_bus.interface()->asyncCall(QStringLiteral("ListNames")), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, generation](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QStringList> reply = *finished;
            if (reply.isError())
                QVLog("[WARNING] Could not list the session bus's names: %s",
                    qPrintable(reply.error().message()));
            _chooseBackend(generation, reply.isError() ? QStringList() : reply.value());
        });
}

void SPMediaKeyTap::_chooseBackend(quint64 generation, const QStringList& busNames)
{
    if (generation != _generation || !_choosing)
        return; // stopped or restarted meanwhile
    if (busNames.contains(kKGlobalAccel)) {
        QVLog("Media keys reach us through MPRIS under this desktop's global shortcuts: no grab");
        _setBackend(Backend::DesktopRoutesToPlayers);
        return;
    }
    QList<int> candidates;
    const QList<SPSettingsDaemonKeys::Daemon>& daemons = SPSettingsDaemonKeys::knownDaemons();
    for (int i = 0; i < daemons.size(); ++i)
        if (busNames.contains(daemons.at(i).service))
            candidates.append(i);
    _tryDaemon(generation, candidates);
}

void SPMediaKeyTap::_tryDaemon(quint64 generation, QList<int> candidates)
{
    if (candidates.isEmpty()) {
        _tryX11KeyGrab();
        return;
    }
    const SPSettingsDaemonKeys::Daemon& daemon
        = SPSettingsDaemonKeys::knownDaemons().at(candidates.takeFirst());
    _daemon = std::make_unique<SPSettingsDaemonKeys>(_bus, daemon, QString::fromLatin1(kApplicationId));
    SPSettingsDaemonKeys* keys = _daemon.get();
    connect(keys, &SPSettingsDaemonKeys::keyPressed, this,
        [this](int keyCode) { _postKey(SPMediaKeyEvent::keyDown(keyCode)); });
    connect(keys, &SPSettingsDaemonKeys::grabAnswered, this,
        [this, keys, generation, candidates](bool ok, const QString& error) {
            if (ok && _backend == Backend::Choosing) {
                _setBackend(Backend::SettingsDaemon);
                return;
            }
            if (ok)
                return;
            QVLog("[WARNING] The settings daemon %s refused the media keys: %s",
                qPrintable(keys->daemon().service), qPrintable(error));
            // Not inside the daemon object's own signal: it goes away before the next is tried.
            QMetaObject::invokeMethod(
                this,
                [this, generation, candidates] {
                    if (_backend != Backend::Choosing || generation != _generation)
                        return; // a later grab failed: we keep the daemon and wait for its return
                    _daemon.reset();
                    _tryDaemon(generation, candidates);
                },
                Qt::QueuedConnection);
        });
    keys->grab();
}

void SPMediaKeyTap::_tryX11KeyGrab()
{
    if (!_environment.hasDisplay && _environment.display.isEmpty()) {
        QVLog("[WARNING] No X display: media keys reach us only through MPRIS");
        _setBackend(Backend::None);
        return;
    }
    SPX11KeyGrabber::Callbacks callbacks;
    callbacks.keyEvent = [this](const SPMediaKeyEvent& event) {
        if (shouldInterceptMediaKeyEvents())
            _postKey(event);
    };
    callbacks.applicationActivated = [this](qint64 pid, const QString& id) {
        QMetaObject::invokeMethod(
            this, [this, pid, id] { appIsNowFrontmost(pid, id); }, Qt::QueuedConnection);
    };
    callbacks.applicationTerminated = [this](qint64 pid) {
        QMetaObject::invokeMethod(
            this, [this, pid] { appTerminated(pid); }, Qt::QueuedConnection);
    };
    _x11 = std::make_unique<SPX11KeyGrabber>(std::move(callbacks));
    QString error;
    if (!_x11->start(_environment.display, shouldInterceptMediaKeyEvents(), &error)) {
        // No way left to take the keys: MPRIS and our own windows still bring them.
        QVLog(
            "[ERROR] _eventPort != NULL failed: no X11 key grab (%s); media keys reach us only through MPRIS",
            qPrintable(error));
        _x11.reset();
        _setBackend(Backend::None);
        return;
    }
    _setBackend(Backend::X11KeyGrab);
}

void SPMediaKeyTap::_setBackend(Backend backend)
{
    _choosing = false;
    _backend = backend;
    const bool holding = backend == Backend::SettingsDaemon || backend == Backend::X11KeyGrab;
    gTapState = holding ? TapState::Holding : TapState::NotHolding;
    emit backendChosen(backend);
}

void SPMediaKeyTap::stopWatchingMediaKeys()
{
    ++_generation;
    _choosing = false;
    // Joins the tap thread before anything it uses goes away.
    if (_x11)
        _x11->stop();
    _x11.reset();
    _daemon.reset(); // releases the daemon's grab
    _backend = Backend::None;
}

bool SPMediaKeyTap::shouldInterceptMediaKeyEvents() const
{
    QMutexLocker locker(&_lock);
    return _shouldInterceptMediaKeyEvents;
}

void SPMediaKeyTap::setShouldInterceptMediaKeyEvents(bool newSetting)
{
    bool oldSetting;
    {
        QMutexLocker locker(&_lock);
        oldSetting = _shouldInterceptMediaKeyEvents;
        _shouldInterceptMediaKeyEvents = newSetting;
    }
    if (!_x11 || !_x11->isRunning() || oldSetting == newSetting)
        return;
    ++_scheduledTapCalls;
    SPX11KeyGrabber* grabber = _x11.get();
    _x11->schedule(
        SPInvocationGrabber::grab([grabber, newSetting] { grabber->pauseTapOnTapThread(newSetting); }));
}

void SPMediaKeyTap::appIsNowFrontmost(qint64 pid, const QString& applicationId)
{
    QStringList listed;
    for (const QVariant& id :
        _defaults()->arrayForKey(QString::fromLatin1(QVApplicationsNeedingMediaKeysKey)))
        listed.append(id.toString());
    if (listed.isEmpty())
        listed = defaultMediaKeyUserBundleIdentifiers();
    // Our own windows are us whatever id the toolkit gave them.
    if (!listed.contains(applicationId) && pid != qint64(::getpid()))
        return;
    _mediaKeyAppList.removeAll(pid);
    _mediaKeyAppList.prepend(pid);
    _mediaKeyAppListChanged();
}

void SPMediaKeyTap::appTerminated(qint64 pid)
{
    _mediaKeyAppList.removeAll(pid);
    _mediaKeyAppListChanged();
}

void SPMediaKeyTap::_mediaKeyAppListChanged()
{
    if (_mediaKeyAppList.isEmpty())
        return; // the last decision stays
    setShouldInterceptMediaKeyEvents(_mediaKeyAppList.first() == qint64(::getpid()));
}

void SPMediaKeyTap::_postKey(const SPMediaKeyEvent& event)
{
    // From the tap thread or a D-Bus signal: the delegate commands the page,
    // so the key waits its turn at depth 0 on the main thread.
    QVEventQueue::sharedInstance()->post(this, [this, event] { handleAndReleaseMediaKeyEvent(event); });
}

void SPMediaKeyTap::handleAndReleaseMediaKeyEvent(const SPMediaKeyEvent& event)
{
    if (_delegate)
        _delegate->mediaKeyTapReceivedMediaKeyEvent(this, event);
}
