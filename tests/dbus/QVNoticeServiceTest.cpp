#include "QVNoticeService.h"
#include "../unit/playback/QVPlaybackTestSupport.h"
#include "QVAlbumArtHandler.h"
#include "QVEventQueue.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace {

// A bus daemon of the test's own: no notification server unless the test starts one.
class PrivateBus
{
public:
    PrivateBus()
    {
        QFile config(folder.filePath("bus.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(QString("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                             "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                         .arg(folder.path())
                         .toUtf8());
        config.close();
        daemon.start(
            "dbus-daemon", { "--nofork", "--print-address=1", "--config-file=" + config.fileName() });
        if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString& name : std::as_const(names))
            QDBusConnection::disconnectFromBus(name);
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
    QDBusConnection connect(const QString& name)
    {
        names.append(name + QString::number(quintptr(this)));
        return QDBusConnection::connectToBus(address, names.last());
    }

    QTemporaryDir folder;
    QProcess daemon;
    QString address;
    QStringList names;
};

// A desktop's notification server, as small as the test needs: it keeps what
// it was sent and answers with ids as the protocol asks (a replaced
// notification keeps its id).
class FakeNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        uint replacesId = 0;
        QString summary;
        QString body;
        QStringList actions;
        uint id = 0;
        QImage image;
    };
    QList<Notice> notices;
    QStringList capabilities;
    int capabilityCalls = 0;
    uint lastId = 0;

public slots:
    QStringList GetCapabilities()
    {
        ++capabilityCalls;
        return capabilities;
    }
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString& body,
        const QStringList& actions, const QVariantMap& hints, int)
    {
        Notice notice { replacesId, summary, body, actions, replacesId ? replacesId : ++lastId, {} };
        if (hints.contains("image-data")) {
            const QDBusArgument argument = hints.value("image-data").value<QDBusArgument>();
            int width = 0, height = 0, stride = 0, bits = 0, channels = 0;
            bool alpha = false;
            QByteArray data;
            argument.beginStructure();
            argument >> width >> height >> stride >> alpha >> bits >> channels >> data;
            argument.endStructure();
            if (bits == 8 && channels == (alpha ? 4 : 3) && data.size() >= qsizetype(stride) * height)
                notice.image = QImage(reinterpret_cast<const uchar*>(data.constData()), width, height, stride,
                    alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
                                   .copy();
        }
        notices.append(notice);
        return notice.id;
    }

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

QByteArray pngOf(const QColor& color)
{
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// The notice service of a playback service over a fake page, on a private
// bus where the test runs the notification server.
class QVNoticeServiceTest : public PlaybackServiceTest
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
        // Loaded with nothing playing; then "Song" by "Artist" on "Album", art
        // "al/3.png", starts, for the page to report.
        page.answers["Q.player != null && Q.player.playingTrack() != null"] = "false";
        service.webViewFinishedLoading();
        answerPlayingPage(page);
        page.scripts.clear();
        service.albumArtHandler()->cacheController()->cacheAlbumArt(pngOf(Qt::darkCyan), "al/3.png");
        service.albumArtHandler()->cacheController()->cacheAlbumArt(pngOf(Qt::darkRed), "al/4.png");
    }
    void TearDown() override
    {
        notices.reset();
        stopServer();
    }

    void startServer(const QStringList& capabilities = { "body", "body-markup", "actions" })
    {
        fake = std::make_unique<FakeNotificationServer>();
        fake->capabilities = capabilities;
        serverBus = bus.connect("server");
        ASSERT_TRUE(serverBus.registerObject("/org/freedesktop/Notifications", fake.get(),
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(serverBus.registerService("org.freedesktop.Notifications"));
    }
    void stopServer()
    {
        if (!fake)
            return;
        serverBus.unregisterService("org.freedesktop.Notifications");
        QDBusConnection::disconnectFromBus(serverBus.name());
        fake.reset();
    }
    void makeService()
    {
        notices = std::make_unique<QVNoticeService>(&service, &navigation, bus.connect("client"));
    }
    bool waitForReady()
    {
        return QVWaitUntil([&] { return notices->isServerReady(); }, 5000);
    }
    bool waitForNotices(qsizetype count)
    {
        return QVWaitUntil([&] { return fake && fake->notices.size() >= count; }, 5000);
    }
    bool startReady()
    {
        startServer();
        makeService();
        return waitForReady();
    }
    void settle(int ms = 150) { QTest::qWait(ms); }
    void changeTrack(const QString& name, const QString& baseIcon, const QString& album = "Album")
    {
        page.answers["Q.player.playingTrack().get('name')"] = name;
        page.answers["Q.player.playingTrack().get('baseIcon')"] = baseIcon;
        page.answers["Q.player.playingTrack().get('album')"] = album;
        reportTrack();
    }
    void reportTrack()
    {
        service.playbackPlayingTrackChanged();
        runQueuedEvents();
    }

    PrivateBus bus;
    QDBusConnection serverBus { QString() };
    std::unique_ptr<FakeNotificationServer> fake;
    std::unique_ptr<QVNoticeService> notices;
};

} // namespace

TEST_F(QVNoticeServiceTest, NowPlayingIsReplacedInPlaceAndOnlyTheServerPressesNext)
{
    ASSERT_TRUE(startReady());
    reportTrack();
    ASSERT_TRUE(waitForNotices(1));
    const auto first = fake->notices.first();
    EXPECT_EQ(first.summary, "Song");
    EXPECT_EQ(first.body, "Artist, Album");
    EXPECT_EQ(first.actions, (QStringList { "next", "Next" }));
    EXPECT_EQ(first.image.pixelColor(9, 9), QColor(Qt::darkCyan));

    // The next album: the same notification, now with the new art. The server
    // reads markup: the album's name stays text.
    changeTrack("Second Song", "al/4.png", "Other & <Album>");
    ASSERT_TRUE(waitForNotices(2));
    const auto second = fake->notices.at(1);
    EXPECT_EQ(second.replacesId, first.id);
    EXPECT_EQ(second.body, "Artist, Other &amp; &lt;Album&gt;");
    EXPECT_EQ(second.image.pixelColor(9, 9), QColor(Qt::darkRed));

    // The same track again (repeat), a track without a name, a paused one: nothing until it plays.
    reportTrack();
    changeTrack("", "al/3.png");
    page.answers["Q.player.playState()"] = "2";
    changeTrack("Paused Song", "al/3.png");
    settle();
    EXPECT_EQ(fake->notices.size(), 2);
    page.answers["Q.player.playState()"] = "1";
    service.playbackPlayStateChanged(QVPlayStatePlaying);
    runQueuedEvents();
    ASSERT_TRUE(waitForNotices(3));
    EXPECT_EQ(fake->notices.at(2).summary, "Paused Song");

    // Next: only our notification's button, and only from the server itself.
    page.scripts.clear();
    emit fake->ActionInvoked(first.id + 1, "next");
    emit fake->ActionInvoked(first.id, "default");
    emit fake->ActionInvoked(first.id, "next");
    ASSERT_TRUE(QVWaitUntil([&] { return page.scripts.contains("Q.player.next();"); }));
    QDBusConnection other = bus.connect("other");
    other.send(QDBusMessage::createSignal(
                   "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked")
        << first.id << QString("next"));
    settle();
    EXPECT_EQ(page.scripts.count("Q.player.next();"), 1);

    // The user closed it: the next track opens a new one.
    emit fake->NotificationClosed(first.id, 2);
    ASSERT_TRUE(QVWaitUntil([&] { return notices->nowPlayingNotificationId() == 0; }));
    changeTrack("Fourth Song", "al/3.png");
    ASSERT_TRUE(waitForNotices(4));
    EXPECT_EQ(fake->notices.at(3).replacesId, 0u);
}

TEST_F(QVNoticeServiceTest, PageNoticesAreBoundedPlainAndAtMostOneASecond)
{
    ASSERT_TRUE(startReady());
    notices->onWindowScriptObjectReady(&page);
    QVScriptObject* object = page.objects.value("NoticeScriptObject");
    ASSERT_TRUE(object);
    QElapsedTimer clock;
    clock.start();
    object->invokeScriptMethod(
        "showNotice", { "caf%C3%A9%20%3Cb%3Ebold%3C%2Fb%3E", "A%20%26%20B%20%zz 100%" });
    // Within the second each replaces the one waiting; only the last goes out once it is over.
    object->invokeScriptMethod("showNotice", { "Added%20to%20your%20collection", "replaced" });
    // Dropped: wrong types or counts, and what the page cannot see.
    object->invokeScriptMethod("showNotice", { 42, "x" });
    object->invokeScriptMethod("showNotice", { "only one" });
    object->invokeScriptMethod("sendNotice", { "a", "b" });
    object->invokeScriptMethod("showNotice", { QString(20000, 'A'), QString("%41").repeated(5000) });
    ASSERT_TRUE(waitForNotices(1));
    settle(500);
    EXPECT_EQ(fake->notices.size(), 1);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_GE(clock.elapsed(), QVNoticeService::kNoticeIntervalMs - 50);
    settle(QVNoticeService::kNoticeIntervalMs + 200);
    ASSERT_EQ(fake->notices.size(), 2);

    // The summary is plain text; broken escapes come through as they are.
    const auto first = fake->notices.at(0);
    EXPECT_EQ(first.summary, "café <b>bold</b>");
    EXPECT_EQ(first.body, "A &amp; B %zz 100%");
    EXPECT_TRUE(first.actions.isEmpty());
    EXPECT_EQ(fake->notices.at(1).summary.size(), QVNoticeService::kMaxSummaryLength);
    EXPECT_EQ(fake->notices.at(1).body.size(), QVNoticeService::kMaxBodyLength);

    // Page notices leave the track's notification alone.
    reportTrack();
    ASSERT_TRUE(waitForNotices(3));
    EXPECT_EQ(fake->notices.at(2).replacesId, 0u);
}

TEST_F(QVNoticeServiceTest, StartsWithoutWaitingForTheBus)
{
    startServer();
    const QDBusConnection client = bus.connect("client");
    // The bus stops answering while the service starts and is used.
    ::kill(pid_t(bus.daemon.processId()), SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    notices = std::make_unique<QVNoticeService>(&service, &navigation, client);
    service.playbackPlayingTrackChanged();
    notices->showNotice("Early", "before the server has answered");
    const qint64 elapsed = clock.elapsed();
    ::kill(pid_t(bus.daemon.processId()), SIGCONT);
    EXPECT_LT(elapsed, 1000);

    // Both waited for the server's answer, which was asked for once.
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(fake->capabilityCalls, 1);
}

TEST_F(QVNoticeServiceTest, FollowsTheServerGoingAndComingBack)
{
    // None at start: quiet, and nothing is kept for later.
    makeService();
    settle();
    EXPECT_FALSE(notices->isServerReady());
    reportTrack();
    notices->showNotice("Early", "nobody hears this");
    startServer();
    ASSERT_TRUE(waitForReady());
    settle();
    EXPECT_TRUE(fake->notices.isEmpty());

    // The desktop's shell restarts without actions or markup: a fresh
    // notification (the new server knows no old id), no button, plain text.
    changeTrack("Second Song", "al/4.png");
    ASSERT_TRUE(waitForNotices(1));
    stopServer();
    ASSERT_TRUE(QVWaitUntil([&] { return !notices->isServerReady(); }));
    startServer({ "body" });
    ASSERT_TRUE(waitForReady());
    changeTrack("Fourth Song", "al/3.png", "A & B");
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(fake->notices.first().replacesId, 0u);
    EXPECT_TRUE(fake->notices.first().actions.isEmpty());
    EXPECT_EQ(fake->notices.first().body, "Artist, A & B");

    // No bus at all: inert.
    QVNoticeService offline(&service, &navigation, QDBusConnection("no-such-connection"));
    offline.showNotice("a", "b");
    reportTrack();
    EXPECT_FALSE(offline.isServerReady());
}

#include "QVNoticeServiceTest.moc"
