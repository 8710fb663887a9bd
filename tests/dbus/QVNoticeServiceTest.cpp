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
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <csignal>

namespace {

// A bus daemon of the test's own: no notification server unless the test
// starts one, and, when asked, one the bus "starts" on demand and fails to.
class PrivateBus
{
public:
    explicit PrivateBus(bool withFailingActivation = false)
    {
        QDir(folder.path()).mkdir("services");
        QFile service(folder.filePath("services/org.freedesktop.Notifications.service"));
        if (withFailingActivation && service.open(QIODevice::WriteOnly))
            service.write("[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/false\n");
        QFile config(folder.filePath("bus.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(QString("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                             "<servicedir>%1/services</servicedir><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                             "<allow own=\"*\"/></policy></busconfig>\n")
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

// The notification server of a desktop, as small as the test needs: it keeps
// what it was sent and answers with ids as the protocol asks (a replaced
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
        QVariantMap hints;
        uint id = 0;
        QImage image;
        QString imageSignature;
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
        Notice notice { replacesId, summary, body, actions, hints, replacesId ? replacesId : ++lastId, {},
            {} };
        if (hints.contains("image-data")) {
            const QDBusArgument argument = hints.value("image-data").value<QDBusArgument>();
            notice.imageSignature = argument.currentSignature();
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

// An image server that holds every request until the test answers it.
class HeldImageServer : public QTcpServer
{
public:
    HeldImageServer()
    {
        listen(QHostAddress::LocalHost, 0);
        QObject::connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, this,
                    [this, socket] { requests[socket] += socket->readAll(); });
        });
    }
    QString address() const { return QString("http://127.0.0.1:%1/art").arg(serverPort()); }
    qsizetype heldCount() const
    {
        return std::count_if(
            requests.begin(), requests.end(), [](auto& r) { return r.contains("\r\n\r\n"); });
    }
    // Answers the request for the base icon (as the handler encodes it).
    void answer(const QString& baseIcon, const QByteArray& png)
    {
        for (auto it = requests.begin(); it != requests.end(); ++it) {
            if (!it.value().contains("m=" + QUrl::toPercentEncoding(baseIcon) + "&"))
                continue;
            it.key()->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n"
                            "Content-Length: "
                + QByteArray::number(png.size()) + "\r\n\r\n" + png);
            it.key()->disconnectFromHost();
        }
    }
    QHash<QTcpSocket*, QByteArray> requests;
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
    void changeTrack(const QString& name, const QString& baseIcon, const QString& artist = "Artist",
        const QString& album = "Album")
    {
        page.answers["Q.player.playingTrack().get('name')"] = name;
        page.answers["Q.player.playingTrack().get('baseIcon')"] = baseIcon;
        page.answers["Q.player.playingTrack().get('artist')"] = artist;
        page.answers["Q.player.playingTrack().get('album')"] = album;
        reportTrack();
    }
    void reportTrack()
    {
        service.playbackPlayingTrackChanged();
        runQueuedEvents();
    }
    static QColor colorOf(const QImage& image) { return image.pixelColor(100, 100); }

    PrivateBus bus;
    QDBusConnection serverBus { QString() };
    std::unique_ptr<FakeNotificationServer> fake;
    std::unique_ptr<QVNoticeService> notices;
};

} // namespace

TEST_F(QVNoticeServiceTest, NowPlayingWithItsArtReplacedInPlaceForEachNewTrack)
{
    ASSERT_TRUE(startReady());
    EXPECT_EQ(fake->capabilityCalls, 1);
    reportTrack();
    ASSERT_TRUE(waitForNotices(1));
    const auto first = fake->notices.first();
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.summary, "Song");
    EXPECT_EQ(first.body, "Artist, Album");
    EXPECT_EQ(first.actions, (QStringList { "next", "Next" }));
    EXPECT_EQ(first.imageSignature, "(iiibiiay)");
    ASSERT_EQ(first.image.size(), QSize(200, 200));
    EXPECT_EQ(colorOf(first.image), QColor(Qt::darkCyan));

    // The next album: the same notification, now with the new art.
    changeTrack("Second Song", "al/4.png", "Other Artist", "Other & <Album>");
    ASSERT_TRUE(waitForNotices(2));
    const auto second = fake->notices.at(1);
    EXPECT_EQ(second.replacesId, first.id);
    EXPECT_EQ(second.id, first.id);
    // The server reads markup: the album's name stays text.
    EXPECT_EQ(second.body, "Other Artist, Other &amp; &lt;Album&gt;");
    EXPECT_EQ(colorOf(second.image), QColor(Qt::darkRed));

    // The same track again (repeat): nothing new. A track without a name: nothing.
    reportTrack();
    changeTrack("", "al/3.png");
    settle();
    EXPECT_EQ(fake->notices.size(), 2);

    // The user closed it: the next track opens a new one.
    emit fake->NotificationClosed(first.id, 2);
    ASSERT_TRUE(QVWaitUntil([&] { return notices->nowPlayingNotificationId() == 0; }));
    changeTrack("Fourth Song", "al/3.png");
    ASSERT_TRUE(waitForNotices(3));
    EXPECT_EQ(fake->notices.at(2).replacesId, 0u);
}

TEST_F(QVNoticeServiceTest, TheNoticeWaitsForPlayAndForTheArt)
{
    ASSERT_TRUE(startReady());
    reportTrack();
    ASSERT_TRUE(waitForNotices(1));

    // Paused: nothing until it plays.
    page.answers["Q.player.playState()"] = "2";
    changeTrack("Paused Song", "al/3.png");
    settle();
    EXPECT_EQ(fake->notices.size(), 1);
    page.answers["Q.player.playState()"] = "1";
    service.playbackPlayStateChanged(QVPlayStatePlaying);
    runQueuedEvents();
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_EQ(fake->notices.at(1).summary, "Paused Song");

    // Two new albums whose art is still on its way: one notice, for the
    // track playing when the art arrives, with that track's art.
    HeldImageServer images;
    service.albumArtHandler()->cacheController()->removeAlbumArt("al/5.png");
    service.albumArtHandler()->cacheController()->removeAlbumArt("al/6.png");
    page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"] = images.address();
    changeTrack("Fifth Song", "al/5.png");
    changeTrack("Sixth Song", "al/6.png");
    ASSERT_TRUE(QVWaitUntil([&] { return images.heldCount() == 2; }));
    settle();
    EXPECT_EQ(fake->notices.size(), 2);
    images.answer("al/6.png", pngOf(Qt::darkGreen));
    images.answer("al/5.png", pngOf(Qt::darkYellow));
    ASSERT_TRUE(waitForNotices(3));
    settle();
    ASSERT_EQ(fake->notices.size(), 3);
    EXPECT_EQ(fake->notices.at(2).summary, "Sixth Song");
    EXPECT_EQ(colorOf(fake->notices.at(2).image), QColor(Qt::darkGreen));
}

TEST_F(QVNoticeServiceTest, PageNoticesAreBoundedPlainAndAtMostOneASecond)
{
    ASSERT_TRUE(startReady());
    notices->onWindowScriptObjectReady(&page);
    QVScriptObject* object = page.objects.value("NoticeScriptObject");
    ASSERT_TRUE(object);
    QElapsedTimer clock;
    clock.start();
    object->invokeScriptMethod("showNotice",
        { "caf%C3%A9%20%3Cb%3Ebold%3C%2Fb%3E", "Harbour%20Lights%20%26%20more%20%zz%E2%82 100%" });
    // Within the second each replaces the one waiting; only the last goes out once it is over.
    object->invokeScriptMethod("showNotice", { "Added%20to%20your%20collection", "replaced" });
    // Dropped: wrong types or counts, and what the page cannot see.
    const QList<std::pair<QString, QVariantList>> dropped { { "showNotice", { 42, "x" } },
        { "showNotice", { "only one" } }, { "showNotice", { "a", "b", "c" } },
        { "sendNotice", { "a", "b" } } };
    for (const auto& [method, arguments] : dropped) {
        object->invokeScriptMethod(method, arguments);
        runQueuedEvents();
    }
    object->invokeScriptMethod("showNotice", { QString(20000, 'A'), QString("%41").repeated(5000) });
    ASSERT_TRUE(waitForNotices(1));
    settle(500);
    EXPECT_EQ(fake->notices.size(), 1);
    ASSERT_TRUE(waitForNotices(2));
    EXPECT_GE(clock.elapsed(), QVNoticeService::kNoticeIntervalMs - 50);
    settle(QVNoticeService::kNoticeIntervalMs + 200);
    ASSERT_EQ(fake->notices.size(), 2);

    const auto first = fake->notices.at(0);
    // The summary is plain text; broken escapes come through as they are.
    EXPECT_EQ(first.summary, "café <b>bold</b>");
    EXPECT_EQ(first.body, "Harbour Lights &amp; more %zz" + QString::fromUtf8("\xE2\x82") + " 100%");
    EXPECT_TRUE(first.actions.isEmpty());
    EXPECT_FALSE(first.hints.contains("image-data"));
    EXPECT_NE(fake->notices.at(1).id, first.id); // each its own
    EXPECT_EQ(fake->notices.at(1).summary, QString(QVNoticeService::kMaxSummaryLength, 'A'));
    EXPECT_EQ(fake->notices.at(1).body, QString(QVNoticeService::kMaxBodyLength, 'A'));

    // Page notices leave the track's notification alone.
    reportTrack();
    ASSERT_TRUE(waitForNotices(3));
    EXPECT_EQ(fake->notices.at(2).replacesId, 0u);
    EXPECT_TRUE(QVWaitUntil([&] { return notices->nowPlayingNotificationId() == fake->notices.at(2).id; }));

    notices->onWindowScriptObjectShouldRemove(&page);
    EXPECT_FALSE(page.objects.contains("NoticeScriptObject"));
}

TEST_F(QVNoticeServiceTest, NextComesOnlyFromTheServer)
{
    ASSERT_TRUE(startReady());
    reportTrack();
    ASSERT_TRUE(waitForNotices(1));
    const uint id = fake->notices.first().id;

    page.scripts.clear();
    emit fake->ActionInvoked(id + 1, "next"); // somebody else's
    emit fake->ActionInvoked(id, "default");
    emit fake->ActionInvoked(id, "next");
    ASSERT_TRUE(QVWaitUntil([&] { return page.scripts.contains("Q.player.next();"); }));
    // Another program on the bus cannot press it.
    QDBusConnection other = bus.connect("other");
    other.send(QDBusMessage::createSignal(
                   "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked")
        << id << QString("next"));
    settle();
    EXPECT_EQ(page.scripts.count("Q.player.next();"), 1);
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
    settle();
    EXPECT_EQ(fake->capabilityCalls, 1);
    QStringList summaries;
    for (const auto& notice : std::as_const(fake->notices))
        summaries.append(notice.summary);
    summaries.sort();
    EXPECT_EQ(summaries, (QStringList { "Early", "Song" }));
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

    // The desktop's shell restarts, now without actions or markup: quiet while
    // it is gone, asked again when it is back, and a fresh notification (the
    // new server knows no old id) with no button and plain text.
    changeTrack("Second Song", "al/4.png");
    ASSERT_TRUE(waitForNotices(1));
    stopServer();
    ASSERT_TRUE(QVWaitUntil([&] { return !notices->isServerReady(); }));
    changeTrack("Third Song", "al/3.png");
    startServer({ "body" });
    ASSERT_TRUE(waitForReady());
    EXPECT_EQ(fake->capabilityCalls, 1);
    settle();
    EXPECT_TRUE(fake->notices.isEmpty());
    changeTrack("Fourth Song", "al/4.png", "Artist", "A & B");
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(fake->notices.first().replacesId, 0u);
    EXPECT_TRUE(fake->notices.first().actions.isEmpty());
    EXPECT_EQ(fake->notices.first().body, "Artist, A & B");
}

TEST_F(QVNoticeServiceTest, ServerThatCannotBeStartedOrNoBusAtAll)
{
    // The bus would start a server on demand, but the program fails.
    PrivateBus failingBus(true);
    ASSERT_FALSE(failingBus.address.isEmpty());
    QVNoticeService failing(&service, &navigation, failingBus.connect("client"));
    QTest::qWait(300);
    EXPECT_FALSE(failing.isServerReady());
    reportTrack();
    failing.showNotice("a", "b");

    // No bus: inert.
    QVNoticeService offline(&service, &navigation, QDBusConnection("no-such-connection"));
    offline.showNotice("a", "b");
    reportTrack();
    EXPECT_FALSE(offline.isServerReady());
    EXPECT_EQ(offline.nowPlayingNotificationId(), 0u);
}

#include "QVNoticeServiceTest.moc"
