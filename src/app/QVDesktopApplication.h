#pragma once

#include "SPMediaKeyEvent.h"

#include <QApplication>
#include <QPointer>

class QSocketNotifier;
class QVDesktopAppDelegate;

// The application object: runs the delegate's launch steps, routes quitting
// through the delegate, and passes media-key events on when no global tap
// takes them.
class QVDesktopApplication : public QApplication
{
    Q_OBJECT
public:
    QVDesktopApplication(int& argc, char** argv);
    ~QVDesktopApplication() override;

    static QVDesktopApplication* instance();

    void setDelegate(QVDesktopAppDelegate* delegate);
    QVDesktopAppDelegate* delegate() const;

    // Called once before the event loop starts.
    void finishLaunching();

    // Asks the delegate; quits now, later, or not at all.
    void terminate();
    bool isTerminating() const { return _waitingForReply; }

    using QApplication::sendEvent;
    void sendEvent(const SPMediaKeyEvent& event);
    // Media keys that reach our windows take the same road, then go on.
    bool notify(QObject* receiver, QEvent* event) override;

    // Turns SIGTERM, SIGINT and SIGHUP into an orderly terminate().
    void watchTerminationSignals();

private:
    void _replyToApplicationShouldTerminate(bool shouldTerminate);
    void _onAboutToQuit();

    QPointer<QVDesktopAppDelegate> _delegate;
    bool _waitingForReply = false;
    QSocketNotifier* _signalNotifier = nullptr;
};
