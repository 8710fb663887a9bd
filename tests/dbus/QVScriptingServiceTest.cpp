#include "QVScriptingService.h"
#include "../unit/playback/QVPlaybackTestSupport.h"
#include "QVAlbumArtHandler.h"
#include "QVEventQueue.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QSignalSpy>

namespace {
const QString kPath = "/com/quiv/desktop";
const QString kInterface = "com.quiv.desktop";
const QString kTrackPath = "/com/quiv/desktop/CurrentTrack";
const QString kTrackInterface = "com.quiv.desktop.Track";
const QString kProperties = "org.freedesktop.DBus.Properties";
const QString kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";

// Our scripting service over a playing fake page, on the test's private bus,
// called from a second connection as another program calls it.
class QVScriptingServiceTest : public PlaybackServiceTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
        loadPlayingPage();
        scripting = std::make_unique<QVScriptingService>(&service);
        ASSERT_TRUE(scripting->registerOn(QDBusConnection::sessionBus()));
        service.webViewFinishedLoading();
        runQueuedEvents();
        page.scripts.clear();
    }

    static QDBusMessage message(const QString& path, const QString& interface, const QString& method,
        const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QDBusConnection::sessionBus().baseService(), path, interface, method);
        message.setArguments(arguments);
        return message;
    }
    // The loop runs while the call waits, so this process can answer it.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
        const QVariantList& arguments = {})
    {
        return client.call(message(path, interface, method, arguments), QDBus::BlockWithGui, 5000);
    }
    QVariant property(const QString& path, const QString& interface, const QString& name)
    {
        const QDBusMessage reply = call(path, kProperties, "Get", { interface, name });
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QDBusMessage set(const QString& name, const QVariant& value)
    {
        return call(
            kPath, kProperties, "Set", { kInterface, name, QVariant::fromValue(QDBusVariant(value)) });
    }

    QDBusConnection client
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "scripting-test-client");
    std::unique_ptr<QVScriptingService> scripting;
};
} // namespace

TEST_F(QVScriptingServiceTest, PropertiesWithTheirTypes)
{
    const struct {
        QString path, interface, name;
        QMetaType::Type type;
        QVariant value;
    } cases[] = {
        { kPath, kInterface, "SoundVolume", QMetaType::UInt, 56u }, // 0.555 rounded
        { kPath, kInterface, "PlayerState", QMetaType::UInt, 2u },
        { kPath, kInterface, "PlaybackPosition", QMetaType::Int, 42 },
        { kPath, kInterface, "Shuffle", QMetaType::Bool, true },
        { kPath, kInterface, "RepeatState", QMetaType::Int, 2 },
        { kTrackPath, kTrackInterface, "Title", QMetaType::QString, "Song" },
        { kTrackPath, kTrackInterface, "Artist", QMetaType::QString, "Artist" },
        { kTrackPath, kTrackInterface, "Album", QMetaType::QString, "Album" },
        { kTrackPath, kTrackInterface, "TrackKey", QMetaType::QString, "t12" },
        { kTrackPath, kTrackInterface, "QuivURL", QMetaType::QString, "/track/t12" },
        { kTrackPath, kTrackInterface, "Duration", QMetaType::UInt, 187u },
    };
    for (const auto& c : cases) {
        const QVariant value = property(c.path, c.interface, c.name);
        EXPECT_EQ(value.typeId(), c.type) << qPrintable(c.name);
        EXPECT_EQ(value, c.value) << qPrintable(c.name);
    }
    EXPECT_EQ(property(kPath, kInterface, "CurrentTrack").value<QDBusObjectPath>().path(), kTrackPath);
    const QDBusMessage all = call(kPath, kProperties, "GetAll", { kInterface });
    EXPECT_EQ(qdbus_cast<QVariantMap>(all.arguments().value(0)).value("RepeatState"), QVariant(2));
    EXPECT_EQ(call(kPath, kProperties, "Get", { "com.quiv.elsewhere", "Shuffle" }).errorName(),
        "org.freedesktop.DBus.Error.UnknownInterface");
    const QString xml
        = call(kPath, "org.freedesktop.DBus.Introspectable", "Introspect").arguments().value(0).toString();
    EXPECT_EQ(xml.count("<interface name=\"org.freedesktop.DBus.Properties\">"), 1) << qPrintable(xml);
    EXPECT_TRUE(page.scripts.isEmpty()); // reads never touch the page

    // The art as PNG bytes, live: here the playing track's cached cover.
    QImage cover(16, 16, QImage::Format_RGB32);
    cover.fill(Qt::darkCyan);
    QByteArray coverData;
    QBuffer buffer(&coverData);
    buffer.open(QIODevice::WriteOnly);
    cover.save(&buffer, "PNG");
    service.albumArtHandler()->cacheController()->cacheAlbumArt(coverData, "al/3.png");
    QVAlbumArtListener listener;
    service.albumArtHandler()->addAlbumArtListener(&listener);
    service.albumArtHandler()->playbackPlayingTrackChanged();
    const QByteArray png = property(kTrackPath, kTrackInterface, "Artwork").toByteArray();
    EXPECT_EQ(QImage::fromData(png, "PNG").pixelColor(3, 3), QColor(Qt::darkCyan));
    service.albumArtHandler()->removeAlbumArtListener(&listener);
}

TEST_F(QVScriptingServiceTest, CommandsReachThePageThroughTheQueue)
{
    // Raw page states: 0 paused, 1 playing.
    const struct {
        const char* method;
        QVariantList arguments;
        const char* rawState;
        QStringList scripts;
    } cases[] = {
        { "PlayPause", {}, "1", { "Q.player.togglePause();" } },
        { "Play", {}, "1", {} }, // already playing
        { "Play", {}, "0", { "Q.player.togglePause();" } },
        { "Play", {}, "2", { "Q.player.togglePause();" } }, // stopped
        { "Pause", {}, "1", { "Q.player.togglePause();" } },
        { "Pause", {}, "0", {} }, // never toggles into playing
        { "NextTrack", {}, "1", { "Q.player.next();" } },
        { "PreviousTrack", {}, "1", { "Q.player.previous();" } },
        { "PlaySource", { "al'b\"</script>" }, "1", { "Q.player.play({'source':\"al'b\\\"</script>\"});" } },
        { "AddCurrentSongToCollection", {}, "1", { "Q.currentUser.collection.add([\"t12\"]);" } },
        { "RemoveCurrentSongFromCollection", {}, "1", { "Q.currentUser.collection.remove([\"t12\"]);" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " in raw state " + c.rawState);
        page.answers["Q.player.playState()"] = c.rawState;
        service.webViewFinishedLoading();
        runQueuedEvents();
        page.scripts.clear();
        const QDBusMessage reply = call(kPath, kInterface, c.method, c.arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
        EXPECT_EQ(page.scripts, c.scripts);
    }
    for (const char* method : { "SyncCurrentSongToMobile", "RemoveCurrentSongFromMobile" })
        EXPECT_EQ(call(kPath, kInterface, method).type(), QDBusMessage::ReplyMessage) << method;

    // Writable properties, each through the queue.
    page.scripts.clear();
    for (const auto& [name, value] :
        std::initializer_list<std::pair<QString, QVariant>> {
            { "SoundVolume", 250u }, { "PlaybackPosition", 30 }, { "Shuffle", false }, { "RepeatState", 1 } })
        EXPECT_EQ(set(name, value).type(), QDBusMessage::ReplyMessage) << qPrintable(name);
    runQueuedEvents();
    EXPECT_EQ(page.scripts,
        (QStringList { "Q.player.volume(1.000000)", "Q.player.position(30)", "Q.player.shuffle(false)",
            "Q.player.repeat(1)" }));
}

TEST_F(QVScriptingServiceTest, MalformedCallsGetErrorsAndChangeNothingAndOpenTakesOurLinks)
{
    const QString huge(1024 * 1024, 'x');
    const struct {
        QString path, interface, method;
        QVariantList arguments;
        QString error; // empty: any error
    } cases[] = {
        { kPath, kInterface, "PlaySource", { 42 }, {} },
        { kPath, kInterface, "PlaySource", {}, {} },
        { kPath, kInterface, "PlaySource", { huge }, kInvalidArgs },
        { kPath, kInterface, "PlaySource", { "" }, kInvalidArgs },
        { kPath, kInterface, "Explode", {}, {} },
        { kPath, "com.quiv.elsewhere", "PlayPause", {}, {} },
        { kPath, kProperties, "Set", { kInterface, "RepeatState", QVariant::fromValue(QDBusVariant("all")) },
            {} },
        { kPath, kProperties, "Set", { kInterface, "PlayerState", QVariant::fromValue(QDBusVariant(2u)) },
            {} },
        { kTrackPath, kProperties, "Set",
            { kTrackInterface, "Title", QVariant::fromValue(QDBusVariant("x")) }, {} },
        { kPath, "org.freedesktop.Application", "Open",
            { QStringList { "http://evil.example/" }, QVariantMap() }, kInvalidArgs },
        { kPath, "org.freedesktop.Application", "Open",
            { QStringList { "quiv://downloads", "file:///etc/passwd" }, QVariantMap() }, kInvalidArgs },
        { kPath, "org.freedesktop.Application", "Open", { QStringList { "quiv://" + huge }, QVariantMap() },
            kInvalidArgs },
    };
    QSignalSpy opened(scripting.get(), &QVScriptingService::openURLRequested);
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.interface + "." + c.method));
        const QDBusMessage reply = call(c.path, c.interface, c.method, c.arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        if (!c.error.isEmpty()) {
            EXPECT_EQ(reply.errorName(), c.error);
        }
    }
    // Values out of range, or that a number would not hold, are refused.
    for (const auto& [name, value] :
        std::initializer_list<std::pair<QString, QVariant>> { { "RepeatState", 3 }, { "RepeatState", -1 },
            { "PlaybackPosition", -5 }, { "SoundVolume", -5 }, { "Shuffle", 1 } }) {
        const QDBusMessage reply = set(name, value);
        EXPECT_EQ(reply.errorName(), kInvalidArgs) << qPrintable(name) << " " << qPrintable(value.toString());
    }
    runQueuedEvents();
    EXPECT_TRUE(page.scripts.isEmpty()) << qPrintable(page.scripts.join(" | "));
    EXPECT_EQ(opened.count(), 0);
    EXPECT_EQ(property(kPath, kInterface, "RepeatState"), QVariant(2));

    // Links of ours are handed over in order; Activate shows the window.
    QSignalSpy activated(scripting.get(), &QVScriptingService::activateRequested);
    const QStringList urls { "quiv://downloads", "QUIV://www.quiv.example/album/1/" };
    EXPECT_EQ(call(kPath, "org.freedesktop.Application", "Open", { urls, QVariantMap() }).type(),
        QDBusMessage::ReplyMessage);
    ASSERT_EQ(opened.count(), 2);
    EXPECT_EQ(opened.at(0).at(0).toString(), urls.at(0));
    EXPECT_EQ(opened.at(1).at(0).toString(), urls.at(1));
    EXPECT_EQ(call(kPath, "org.freedesktop.Application", "Activate", { QVariantMap() }).type(),
        QDBusMessage::ReplyMessage);
    EXPECT_EQ(activated.count(), 1);
}

TEST_F(QVScriptingServiceTest, ACallDuringAReadIsAnsweredAfterIt)
{
    QVEventQueue::beginWait(); // a read of the page waits
    QDBusPendingCallWatcher watcher(client.asyncCall(message(kPath, kInterface, "NextTrack")));
    // The call arrives while the read waits: nothing runs, nothing answers.
    QTest::qWait(300);
    EXPECT_FALSE(watcher.isFinished());
    EXPECT_TRUE(page.scripts.isEmpty());
    // A property read is still answered at once, from the mirror.
    QDBusPendingCallWatcher getWatcher(
        client.asyncCall(message(kPath, kProperties, "Get", { kInterface, "PlayerState" })));
    ASSERT_TRUE(QVWaitUntil([&] { return getWatcher.isFinished(); }, 5000));
    EXPECT_FALSE(watcher.isFinished());

    QVEventQueue::endWait();
    runQueuedEvents();
    ASSERT_TRUE(QVWaitUntil([&] { return watcher.isFinished(); }, 5000));
    EXPECT_FALSE(watcher.isError());
    EXPECT_EQ(page.scripts, QStringList { "Q.player.next();" });
}
