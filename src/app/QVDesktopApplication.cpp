#include "QVDesktopApplication.h"

#include "QVCrashReporter.h"
#include "QVDesktopAppDelegate.h"
#include "QVLog.h"
#include "SPMediaKeyTap.h"

#include <QKeyEvent>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int gSignalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: the event loop picks it up.
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[0], &byte, 1);
}
} // namespace

QVDesktopApplication::QVDesktopApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    // Windows closing do not end the program; quitting goes through terminate().
    setQuitOnLastWindowClosed(false);
    connect(this, &QCoreApplication::aboutToQuit, this, &QVDesktopApplication::_onAboutToQuit);
}

QVDesktopApplication::~QVDesktopApplication() = default;

QVDesktopApplication* QVDesktopApplication::instance()
{
    return qobject_cast<QVDesktopApplication*>(QCoreApplication::instance());
}

QVDesktopAppDelegate* QVDesktopApplication::delegate() const
{
    return _delegate;
}

void QVDesktopApplication::setDelegate(QVDesktopAppDelegate* delegate)
{
    if (_delegate)
        disconnect(_delegate, nullptr, this, nullptr);
    _delegate = delegate;
    if (delegate)
        connect(delegate, &QVDesktopAppDelegate::replyToApplicationShouldTerminate, this,
                &QVDesktopApplication::_replyToApplicationShouldTerminate);
}

void QVDesktopApplication::finishLaunching()
{
    if (_delegate) {
        _delegate->applicationWillFinishLaunching();
        _delegate->applicationDidFinishLaunching();
    }
    // The engine hosts no plug-ins, so there is no plug-in path to set.
    QVCrashReporter::findAndSubmitLogs();
}

void QVDesktopApplication::terminate()
{
    if (_waitingForReply)
        return;
    const QVTerminateReply reply = _delegate ? _delegate->applicationShouldTerminate() : QVTerminateReply::TerminateNow;
    switch (reply) {
    case QVTerminateReply::TerminateNow:
        quit();
        break;
    case QVTerminateReply::TerminateLater:
        _waitingForReply = true;
        break;
    case QVTerminateReply::TerminateCancel:
        break;
    }
}

void QVDesktopApplication::_replyToApplicationShouldTerminate(bool shouldTerminate)
{
    if (!_waitingForReply)
        return;
    _waitingForReply = false;
    if (shouldTerminate)
        quit();
}

void QVDesktopApplication::_onAboutToQuit()
{
    if (_delegate)
        _delegate->applicationWillTerminate();
}

void QVDesktopApplication::sendEvent(const SPMediaKeyEvent& event)
{
    if (!SPMediaKeyTap::usesGlobalMediaKeyTap() && event.type == SPMediaKeyEvent::kSystemDefinedType
        && event.subtype == SPMediaKeyEvent::kMediaKeySubtype && _delegate)
        _delegate->mediaKeyTapReceivedMediaKeyEvent(nullptr, event);
}

bool QVDesktopApplication::notify(QObject* receiver, QEvent* event)
{
    // A key reaches the window first and is then handed to its focus widget:
    // take it once, at the window.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && receiver
        && receiver->isWindowType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (const auto media
            = SPMediaKeyEvent::fromQtKey(key->key(), event->type() == QEvent::KeyPress, key->isAutoRepeat()))
            sendEvent(*media);
    }
    return QApplication::notify(receiver, event);
}

void QVDesktopApplication::watchTerminationSignals()
{
    if (_signalNotifier || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) {
        if (!_signalNotifier)
            QVLog("[WARNING] Could not watch termination signals");
        return;
    }
    _signalNotifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, this);
    connect(_signalNotifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[1], &byte, 1);
        if (_waitingForReply) {
            quit(); // a second signal while the page unloads: stop waiting
            return;
        }
        terminate();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
