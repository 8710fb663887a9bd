#include "../unit/playback/QVPlaybackTestSupport.h"
#include "QVAlbumArtHandler.h"
#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVMprisService.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QImage>

#include <functional>

namespace {
const QString kPath = "/org/mpris/MediaPlayer2";
const QString kPlayer = "org.mpris.MediaPlayer2.Player";
const QString kProperties = "org.freedesktop.DBus.Properties";

// Collects signals a client connection hears.
class SignalRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;
    int playStateSignals = 0;

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == kPlayer)
            changes.append(changed);
    }
    void seeked(qlonglong position) { seeks.append(position); }
    void playStateChanged() { ++playStateSignals; }
};

// The MPRIS service of a playback service over a fake page, on the test's
// private session bus, seen from a second connection as other programs see it.
class QVMprisTest : public PlaybackServiceTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
        loadPlayingPage();
        page.currentURL = QUrl("http://127.0.0.1:8000/album/a3");
        page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"]
            = "http://127.0.0.1:8000/images/art";
        // The track's art is on disk already, as after an earlier fetch.
        QImage cover(200, 200, QImage::Format_RGB32);
        cover.fill(Qt::darkCyan);
        QBuffer png(&coverData);
        png.open(QIODevice::WriteOnly);
        cover.save(&png, "PNG");
        service.albumArtHandler()->cacheController()->cacheAlbumArt(coverData, "al/3.png");
        mpris = std::make_unique<QVMprisService>(&service);
        ASSERT_TRUE(mpris->registerOn(QDBusConnection::sessionBus()));
        ASSERT_TRUE(QVWaitUntil([&] { return !mpris->serviceName().isEmpty(); }, 5000));
        service.webViewFinishedLoading(); // the page as it loads
        client.connect(QString(), kPath, kProperties, "PropertiesChanged", &recorder,
            SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        client.connect(QString(), kPath, kPlayer, "Seeked", &recorder, SLOT(seeked(qlonglong)));
        page.scripts.clear();
    }
    void TearDown() override { mpris.reset(); }

    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(mpris->serviceName(), kPath, interface, method);
        message.setArguments(arguments);
        return client.call(message, QDBus::BlockWithGui, 5000);
    }
    QVariant property(const QString& interface, const QString& name)
    {
        const QDBusMessage reply = call(kProperties, "Get", { interface, name });
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap metadata()
    {
        return qdbus_cast<QVariantMap>(property(kPlayer, "Metadata").value<QDBusArgument>());
    }
    // The page's report of a new track, as the refresh after it announces it.
    QVariantMap announcedMetadata(const QString& key, const QString& baseIcon, const QString& name = "Song")
    {
        page.answers["Q.player.playingTrack().get('key')"] = key;
        page.answers["Q.player.playingTrack().get('name')"] = name;
        page.answers["Q.player.playingTrack().get('baseIcon')"] = baseIcon;
        recorder.changes.clear();
        service.playerScriptObject()->invokeScriptMethod("onPlayingTrackChanged", {});
        runQueuedEvents();
        settle();
        for (const QVariantMap& change : std::as_const(recorder.changes))
            EXPECT_FALSE(change.contains("Position"));
        return recorder.changes.isEmpty()
            ? QVariantMap()
            : qdbus_cast<QVariantMap>(recorder.changes.last().value("Metadata").value<QDBusArgument>());
    }
    // Lets signals sent on the bus arrive.
    void settle() { QTest::qWait(200); }
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "mpris-test-client");
    SignalRecorder recorder;
    std::unique_ptr<QVMprisService> mpris;
    QByteArray coverData;
};
} // namespace

TEST_F(QVMprisTest, PropertiesWithTheirTypes)
{
    EXPECT_EQ(mpris->serviceName(), "org.mpris.MediaPlayer2.quiv");
    // A second copy takes a name of its own; the bus is asked, not waited for.
    QVMprisService second(&service);
    ASSERT_TRUE(
        second.registerOn(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "mpris-second")));
    EXPECT_EQ(second.serviceName(), "");
    ASSERT_TRUE(QVWaitUntil([&] { return !second.serviceName().isEmpty(); }, 5000));
    EXPECT_EQ(second.serviceName(),
        QString("org.mpris.MediaPlayer2.quiv.instance%1").arg(QCoreApplication::applicationPid()));
    EXPECT_EQ(property(kPlayer, "PlaybackStatus").toString(), "Playing");
    EXPECT_EQ(property(kPlayer, "LoopStatus").toString(), "Playlist"); // repeat 2: the whole queue
    EXPECT_DOUBLE_EQ(property(kPlayer, "Volume").toDouble(), 0.56); // 0.555, rounded
    EXPECT_EQ(property(kPlayer, "Position").typeId(), QMetaType::LongLong);

    const QVariantMap meta = metadata();
    EXPECT_TRUE(page.scripts.isEmpty()) << "reads come from the mirror, never the page";
    EXPECT_EQ(meta.value("mpris:trackid").value<QDBusObjectPath>().path(), "/com/quiv/desktop/track/t12");
    EXPECT_EQ(meta.value("mpris:length"), QVariant(qlonglong(187000000)));
    EXPECT_EQ(qdbus_cast<QStringList>(meta.value("xesam:artist")), QStringList { "Artist" }); // a list
    EXPECT_EQ(meta.value("xesam:url").toString(), "http://127.0.0.1:8000/track/t12");
    // The cached art as a file of its own, which any desktop can read.
    const QUrl art(meta.value("mpris:artUrl").toString());
    ASSERT_TRUE(art.isLocalFile()) << art.toString().toStdString();
    QFile artFile(art.toLocalFile());
    ASSERT_TRUE(artFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(artFile.readAll(), coverData);

    // The play-state signal of our own interface.
    QVPlayStateSignal bus(QDBusConnection::sessionBus());
    ASSERT_TRUE(client.connect(QString(), QVDBusObjectPath, QVDBusInterface, "playStateChanged", &recorder,
        SLOT(playStateChanged())));
    bus.post();
    settle();
    EXPECT_EQ(recorder.playStateSignals, 1);

    // Without a bus: nothing exported, nothing sent, no crash.
    QVPlayStateSignal none { QDBusConnection(QStringLiteral("no-such-connection")) };
    none.post();
    QVMprisService offline(&service);
    EXPECT_FALSE(offline.registerOn(QDBusConnection(QStringLiteral("no-such-connection"))));
}

TEST_F(QVMprisTest, CommandsGoThroughThePlaybackService)
{
    const auto scriptsAfter
        = [&](const QString& interface, const QString& method, const QVariantList& arguments) {
              page.scripts.clear();
              EXPECT_EQ(call(interface, method, arguments).type(), QDBusMessage::ReplyMessage)
                  << method.toStdString();
              return page.scripts;
          };
    const auto scriptsOf = [&](const std::function<void()>& command) {
        page.scripts.clear();
        command();
        return page.scripts;
    };
    const auto set = [](const QString& name, const QVariant& value) {
        return QVariantList { kPlayer, name, QVariant::fromValue(QDBusVariant(value)) };
    };
    const QVariant track = QVariant::fromValue(QDBusObjectPath("/com/quiv/desktop/track/t12"));
    // Each method and property is the playback service's own command; Play
    // lets the page's own state decide, so a stale mirror never makes it a pause.
    const struct {
        QString interface, method;
        QVariantList arguments;
        std::function<void()> direct;
    } same[] = {
        { kPlayer, "PlayPause", {}, [&] { service.playPause(); } },
        { kPlayer, "Next", {}, [&] { service.nextTrack(); } },
        { kPlayer, "Previous", {}, [&] { service.previousTrack(); } },
        { kPlayer, "Play", {}, [&] { service.play(); } },
        { kPlayer, "SetPosition", { track, qlonglong(30000000) }, [&] { service.seek(30); } },
        { kPlayer, "Seek", { qlonglong(500000000) }, [&] { service.nextTrack(); } }, // past the end
        { kProperties, "Set", set("Volume", 0.3), [&] { service.setVolumeLevel(30); } },
        { kProperties, "Set", set("LoopStatus", "Track"), [&] { service.setRepeatState(1); } },
        { kProperties, "Set", set("Shuffle", false), [&] { service.setShuffleState(false); } },
    };
    for (const auto& c : same) {
        SCOPED_TRACE(qPrintable(c.method + " " + c.arguments.value(1).toString()));
        const QStringList sent = scriptsAfter(c.interface, c.method, c.arguments);
        EXPECT_FALSE(sent.isEmpty());
        EXPECT_EQ(sent, scriptsOf(c.direct));
    }
    EXPECT_FALSE(
        scriptsAfter(kPlayer, "Pause", {}).last().startsWith("Q.player.togglePause")); // never a toggle
    // Another track: nothing.
    EXPECT_TRUE(scriptsAfter(kPlayer, "SetPosition",
        { QVariant::fromValue(QDBusObjectPath("/com/quiv/desktop/track/t13")), qlonglong(30000000) })
                    .isEmpty());
}

TEST_F(QVMprisTest, ChangesAreAnnouncedArtFollowsTheTrackAndJumpsAreSeeked)
{
    settle();
    recorder.changes.clear();
    page.answers["Q.player.playState()"] = "0";
    service.playerScriptObject()->invokeScriptMethod("onPlayStateChanged", { qlonglong(0) });
    runQueuedEvents();
    page.answers["Q.player.repeat()"] = "0";
    service.playerScriptObject()->invokeScriptMethod("onRepeatChanged", { qlonglong(0) });
    runQueuedEvents();
    settle();
    EXPECT_EQ(recorder.changes,
        (QList<QVariantMap> { { { "PlaybackStatus", "Paused" } }, { { "LoopStatus", "None" } } }));
    // A new track of the same album: its metadata with the art, never the position.
    QVariantMap meta = announcedMetadata("t13", "al/3.png", "Next Song");
    EXPECT_EQ(meta.value("xesam:title").toString(), "Next Song");
    EXPECT_TRUE(QUrl(meta.value("mpris:artUrl").toString()).isLocalFile());

    // Another album whose art cannot be fetched: no art rather than the last album's.
    page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"] = "http://127.0.0.1:1/art";
    service.albumArtHandler()->cacheController()->removeAlbumArt("al/uncached.png");
    announcedMetadata("t20", "al/uncached.png");
    EXPECT_FALSE(metadata().contains("mpris:artUrl"));

    // Back to the first album: its art at once, announced with the track.
    meta = announcedMetadata("t12", "al/3.png");
    EXPECT_TRUE(QUrl(meta.value("mpris:artUrl").toString()).isLocalFile());

    // Position reports are fractions of the 187 s track; only a jump is a Seeked signal.
    auto* bridge = service.playerScriptObject();
    bridge->invokeScriptMethod("onPositionChanged", { 10.0 / 187 });
    runQueuedEvents();
    settle();
    recorder.seeks.clear();
    bridge->invokeScriptMethod("onPositionChanged", { 10.5 / 187 }); // ordinary progress
    runQueuedEvents();
    bridge->invokeScriptMethod("onPositionChanged", { 95.0 / 187 }); // a jump
    runQueuedEvents();
    settle();
    ASSERT_EQ(recorder.seeks.size(), 1);
    EXPECT_NEAR(double(recorder.seeks.first()), 95e6, 0.3e6);
    EXPECT_NEAR(double(property(kPlayer, "Position").toLongLong()), 95e6, 1e6);
}

#include "QVMprisTest.moc"
