#pragma once

#include "SPMediaKeyEvent.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class SPMediaKeyTap;
class SPSettingsDaemonKeys;
class SPX11KeyGrabber;
class QVUserDefaults;

class SPMediaKeyTapDelegate
{
public:
    virtual ~SPMediaKeyTapDelegate() = default;
    // On the main thread; `tap` is nullptr when the event came another way.
    virtual void mediaKeyTapReceivedMediaKeyEvent(SPMediaKeyTap* tap, const SPMediaKeyEvent& event) = 0;
};

// Takes the keyboard's media keys for this program while it is the most
// recently active media application, and hands each key to the delegate on
// the main thread through the event queue. The first backend that works is
// used: a GNOME-family settings daemon's grab; none at all where the desktop
// sends the keys to MPRIS players (Wayland, Plasma), which reach us through
// MPRIS; and, last, a key grab on a bare X11 display.
class SPMediaKeyTap : public QObject
{
    Q_OBJECT
public:
    enum class Backend { None, Choosing, SettingsDaemon, DesktopRoutesToPlayers, X11KeyGrab };

    // What the tap works with; tests pass their own.
    struct Environment {
        std::optional<QDBusConnection> bus; // unset: the session bus
        QVUserDefaults* userDefaults = nullptr; // nullptr: the standard ones
        QByteArray display; // empty: $DISPLAY
        bool waylandSession = false;
        bool hasDisplay = false;
        static Environment fromProcess();
    };

    // Our desktop-file id, which the daemons and the application list know us by.
    static constexpr char kApplicationId[] = "com.quiv.desktop";

    explicit SPMediaKeyTap(SPMediaKeyTapDelegate* delegate, QObject* parent = nullptr);
    SPMediaKeyTap(SPMediaKeyTapDelegate* delegate, Environment environment, QObject* parent = nullptr);
    ~SPMediaKeyTap() override;

    // NO when "SPIgnoreMediaKeys" is YES or when no backend took the keys;
    // then keys that reach our windows go to the delegate directly.
    static bool usesGlobalMediaKeyTap();
    static QStringList defaultMediaKeyUserBundleIdentifiers();

    void startWatchingMediaKeys();
    void stopWatchingMediaKeys();
    bool isWatching() const { return _backend != Backend::None || _choosing; }
    Backend backend() const { return _backend; }

    bool shouldInterceptMediaKeyEvents() const;
    void setShouldInterceptMediaKeyEvents(bool newSetting);
    // Calls sent to the tap thread so far (each change of interception is one).
    int scheduledTapCallCount() const { return _scheduledTapCalls; }
    SPX11KeyGrabber* x11KeyGrabber() const { return _x11.get(); }

    // The application list: processes of media applications, most recently
    // active first.
    void appIsNowFrontmost(qint64 pid, const QString& applicationId);
    void appTerminated(qint64 pid);
    QList<qint64> mediaKeyAppList() const { return _mediaKeyAppList; }

    // Main thread: gives the delegate one key.
    void handleAndReleaseMediaKeyEvent(const SPMediaKeyEvent& event);

signals:
    // The choice of backend is made (asynchronously: the bus is asked first).
    void backendChosen(SPMediaKeyTap::Backend backend);

private:
    void _chooseBackend(quint64 generation, const QStringList& busNames);
    void _tryDaemon(quint64 generation, QList<int> candidates);
    void _tryX11KeyGrab();
    void _setBackend(Backend backend);
    void _mediaKeyAppListChanged();
    void _postKey(const SPMediaKeyEvent& event);
    QVUserDefaults* _defaults() const;

    SPMediaKeyTapDelegate* _delegate;
    Environment _environment;
    QDBusConnection _bus;
    Backend _backend = Backend::None;
    bool _choosing = false;
    quint64 _generation = 0;

    mutable QMutex _lock;
    bool _shouldInterceptMediaKeyEvents = false; // under _lock
    int _scheduledTapCalls = 0;

    std::unique_ptr<SPSettingsDaemonKeys> _daemon;
    std::unique_ptr<SPX11KeyGrabber> _x11;
    QList<qint64> _mediaKeyAppList;
};
