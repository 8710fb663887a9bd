#include "QVLogindSleepMonitor.h"
#include "../unit/playback/QVPlaybackTestSupport.h"
#include "QVAudioHardwareEventListener.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {
// Stands in for logind on the private session bus: Inhibit hands out one end
// of a pipe and watches the other, which reads end-of-file once every copy
// of the handed-out end is closed, that is, once the lock is released.
class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    FakeLogind()
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-logind"))
    {
        bus.registerObject("/org/freedesktop/login1", this, QDBusConnection::ExportAllSlots);
        bus.registerService("org.freedesktop.login1");
    }
    ~FakeLogind() override
    {
        for (int fd : readEnds)
            ::close(fd);
        bus.unregisterService("org.freedesktop.login1");
        QDBusConnection::disconnectFromBus("fake-logind");
    }
    void prepareForSleep(bool starting)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        signal << starting;
        bus.send(signal);
    }
    // Whether the last lock handed out is still held by someone.
    bool lockHeld()
    {
        if (readEnds.isEmpty())
            return false;
        char byte;
        return ::read(readEnds.last(), &byte, 1) < 0; // EAGAIN while a writer lives
    }

    QDBusConnection bus;
    QStringList requests;
    QList<int> readEnds;

public slots:
    QDBusUnixFileDescriptor Inhibit(
        const QString& what, const QString& who, const QString& why, const QString& mode)
    {
        requests.append(QStringList { what, who, why, mode }.join('|'));
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
            return {};
        readEnds.append(fds[0]);
        QDBusUnixFileDescriptor handedOut(fds[1]); // a copy travels
        ::close(fds[1]);
        return handedOut;
    }
};
} // namespace

TEST(QVLogindSleepMonitorTest, PausesUnderTheDelayLockAndTakesItAgainOnWake)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    EXPECT_FALSE(QVLogindSleepMonitor(QDBusConnection(QStringLiteral("no-such-connection"))).start());
    {
        // A bus without logind: the lock is refused, nothing else happens.
        QVLogindSleepMonitor noLogind(QDBusConnection::sessionBus());
        QSignalSpy inhibitor(&noLogind, &QVLogindSleepMonitor::inhibitorChanged);
        EXPECT_TRUE(noLogind.start());
        ASSERT_TRUE(inhibitor.wait(5000));
        EXPECT_FALSE(noLogind.holdsInhibitor());
    }

    FakeLogind logind;
    QVLogindSleepMonitor monitor(QDBusConnection::sessionBus());
    QSignalSpy inhibitor(&monitor, &QVLogindSleepMonitor::inhibitorChanged);
    ASSERT_TRUE(monitor.start());
    ASSERT_TRUE(inhibitor.wait(5000));
    EXPECT_TRUE(monitor.holdsInhibitor());
    EXPECT_EQ(logind.requests, QStringList { "sleep|Quiv|Pause playback before sleeping|delay" });
    EXPECT_TRUE(logind.lockHeld());

    // A listener over this monitor pauses the page, then lets sleep go ahead.
    struct Delegate : QVAudioHardwareEventListenerDelegate {
        FakeLogind* logind;
        QStringList log;
        void onDefaultAudioOutputChanged() override { }
        void onSystemWillSleep() override { log.append(logind->lockHeld() ? "under the lock" : "too late"); }
    } delegate;
    delegate.logind = &logind;
    FakeAudioOutput output;
    QVAudioHardwareEventListener listener(&delegate, &output, &monitor);

    // Anyone may send the signal; only logind's counts.
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "not-logind");
    other.send(QDBusMessage::createSignal(
                   "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep")
        << true);
    logind.prepareForSleep(true);
    QTest::qWait(200);
    EXPECT_EQ(delegate.log, QStringList { "under the lock" });
    EXPECT_FALSE(monitor.holdsInhibitor());
    EXPECT_FALSE(logind.lockHeld());

    // Awake: the next sleep waits for us again.
    logind.prepareForSleep(false);
    QTest::qWait(200);
    EXPECT_TRUE(monitor.holdsInhibitor());
    EXPECT_EQ(logind.requests.size(), 2);
    EXPECT_TRUE(logind.lockHeld());
}

#include "QVLogindSleepMonitorTest.moc"
