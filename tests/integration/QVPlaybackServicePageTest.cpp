#include "QVDemoClientFixture.h"
#include "QVLogCapture.h"
#include "QVPageBridgeScript.h"
#include "QVScriptValue.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <cmath>

namespace {

// The playback service against the demo web application's real player.
class QVPlaybackServicePageTest : public QVDemoPlaybackFixture
{
protected:
    void TearDown() override
    {
        if (playback)
            playback->removeWebPlaybackListener(&heard);
        QVDemoPlaybackFixture::TearDown();
    }
    void beforePageLoads() override { playback->addWebPlaybackListener(&heard); }

    // The service's own state, and heard since the step began (the log is
    // cleared at each step): reports of the step before may still be arriving.
    bool reached(QVPlayState state) const
    {
        return playback->playState() == state && log.contains(QStringLiteral("heard: state %1").arg(state));
    }
    // The number in the last report of `event` since the step began, or -1.
    float lastHeard(const QString& event) const
    {
        const QStringList lines = log.filter("heard: " + event + ' ');
        return lines.isEmpty() ? -1.0f : lines.last().section(' ', 2).toFloat();
    }

    RecordingListener heard { QStringLiteral("heard"), &log };
};

} // namespace

TEST_F(QVPlaybackServicePageTest, CommandsChangeThePlayerAndComeBackThroughTheListeners)
{
    // Play an album: the page's media element plays and the listeners hear it.
    playback->playSource("a12");
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePlaying); }));
    EXPECT_FALSE(view.javascriptBoolValue("Q.player.audio.paused"));
    // The process's first track is not swallowed.
    EXPECT_EQ(playback->playingTrackKey(), view.evaluate("Q.player.playingTrack().get('key')"));
    EXPECT_GT(playback->playingTrackDurationSeconds(), 0u);
    EXPECT_GT(log.count("signal"), 0); // other programs heard it too

    // Play never pauses and pause never plays, whatever the mirror last heard.
    playback->play();
    QTest::qWait(300);
    EXPECT_FALSE(view.javascriptBoolValue("Q.player.audio.paused"));
    log.clear();
    playback->pause();
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePaused); }));
    EXPECT_TRUE(view.javascriptBoolValue("Q.player.audio.paused"));
    log.clear();
    playback->play();
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePlaying); }));

    // A report brings the page's values with it: heard while the page is still
    // busy after sending it, with nothing read back.
    log.clear();
    const QString key = playback->playingTrackKey();
    QElapsedTimer clock;
    clock.start();
    view.executeJavascript(
        "Q.player.togglePause(); var end = Date.now() + 1500; while (Date.now() < end) { }");
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePaused); }, 5000, 5));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(playback->playingTrackKey(), key);
    EXPECT_TRUE(view.isResponsive());
    log.clear();
    playback->play();
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePlaying); }));

    // Seek: the page's element moves, and its report (a fraction of the
    // track) and the elapsed time follow.
    log.clear();
    playback->seek(30);
    ASSERT_TRUE(QVWaitUntil(
        [&] { return lastHeard("position") * float(playback->playingTrackDurationSeconds()) >= 29.0f; }));
    EXPECT_NEAR(view.javascriptFloatValue("Q.player.audio.currentTime"), 30.0f, 2.0f);
    ASSERT_TRUE(QVWaitUntil([&] { return playback->playingTrackElapsedSeconds() >= 30; }));
    EXPECT_LE(playback->playingTrackElapsedSeconds(), 33u);

    // Volume read back rounds: 0.3 is 30, not 29.
    playback->setVolumeLevel(30);
    ASSERT_TRUE(QVWaitUntil([&] { return std::lround(lastHeard("volume")) == 30; }));
    EXPECT_NEAR(view.javascriptFloatValue("Q.player.audio.volume"), 0.3f, 0.001f);
    EXPECT_EQ(playback->volumeLevel(), 30u);
}

TEST_F(QVPlaybackServicePageTest, StationsCollectionAndTheUnplugRule)
{
    const QVariantList stations = playback->availableRadioStations();
    ASSERT_GE(stations.size(), 2);
    const QVariantMap station = stations[1].toMap();
    log.clear();
    playback->switchRadioStation(station);
    ASSERT_TRUE(QVWaitUntil([&] {
        return log.contains("heard: station " + station.value("key").toString())
            && reached(QVPlayStatePlaying);
    }));
    EXPECT_TRUE(playback->isPlayingRadioStation());
    log.clear();
    playback->turnRadioStationOff();
    ASSERT_TRUE(QVWaitUntil([&] {
        return log.contains("heard: station ") && !log.filter("heard: state").isEmpty()
            && playback->playState() != QVPlayStatePlaying;
    }));
    EXPECT_FALSE(playback->isPlayingRadioStation());

    // The playing track into the collection, and the page's lookup agrees.
    log.clear();
    playback->playSource("a12");
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePlaying); }));
    const unsigned int id = unsigned(view.javascriptIntValue("Q.player.playingTrack().get('id')"));
    ASSERT_GT(id, 0u);
    // The commands name the track the mirror holds: wait until it has the new one.
    const QString key = view.javascriptStringValue("Q.player.playingTrack().get('key')");
    ASSERT_TRUE(QVWaitUntil([&] { return playback->playingTrackKey() == key; }));
    playback->removeCurrentSongFromCollection();
    ASSERT_TRUE(QVWaitUntil([&] { return !playback->isTrackInUsersCollection(id); }));
    playback->addCurrentSongToCollection();
    ASSERT_TRUE(QVWaitUntil([&] { return playback->isTrackInUsersCollection(id); }));

    // Headphones pulled while playing as the account's player: paused.
    defaults->setValue(true, QVPauseOnDeviceUnplugKey);
    log.clear();
    output.change();
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePaused); }));
    EXPECT_TRUE(view.javascriptBoolValue("Q.player.audio.paused"));

    // Sleep while paused does not start it again.
    sleepMonitor.sleep();
    QTest::qWait(300);
    EXPECT_TRUE(view.javascriptBoolValue("Q.player.audio.paused"));
    EXPECT_TRUE(log.contains("sleep acknowledged"));
}

namespace {
// Sends `total` bad calls in chunks, from a second client of the page's own
// transport (the page's wrappers only forward to the same host object): the
// names and arguments a hostile or broken page could send.
// Each entry: [arguments expected, kind of value, fewest arguments].
const char kFuzzScript[] = R"JS(
(function (hostName, table, total) {
  new QWebChannel(qt.webChannelTransport, function (channel) {
    var host = channel.objects[hostName];
    // Answers to the page's own client now reach this one: ignore those.
    var answer = qt.webChannelTransport.onmessage;
    qt.webChannelTransport.onmessage = function (message) { try { answer(message); } catch (e) { } };
    var seed = 20261208;
    function random() {
      seed = (Math.imul(seed, 1103515245) + 12345) | 0;
      return (seed >>> 0) / 4294967296;
    }
    function pick(list) { return list[Math.floor(random() * list.length)]; }
    function deep(n) { var v = 1; while (n-- > 0) v = random() < 0.5 ? [v] : { k: v }; return v; }
    var big = 'x'.repeat(1 << 20), long = big.slice(0, 70000);
    var any = [NaN, Infinity, -Infinity, 1.5, 7, 'text', '\n\u0000\u202e', null, true, {}, [1, 2]];
    var bad = {
      int: [NaN, Infinity, -Infinity, 1.5, 1e300, 'text', '3', null, true, {}, [1]],
      number: [NaN, Infinity, -Infinity, 'text', '3', null, true, {}, [1]],
      bool: [NaN, 1, 0, 'true', null, {}, [true]]
    };
    var objects = Object.keys(table);
    function argumentsOf(count) { var list = []; while (count-- > 0) list.push(pick(any)); return list; }
    function badCall() {
      var object = pick(objects), methods = Object.keys(table[object]);
      var method = pick(methods), entry = table[object][method], kind = Math.floor(random() * 6);
      if (kind === 0)
        return [pick(['Nope', '', 'constructor', '__proto__', 'a\nb', long, object + ' ']), method, argumentsOf(1)];
      if (kind === 1)
        return [object, pick(['toString', '__proto__', 'deleteLater', 'destroyed', '', method + '\n', long]), []];
      if (kind === 2) {
        var counts = [0, 1, 2, 3, 6, 17].filter(function (c) { return c < entry[2] || c > entry[0]; });
        return [object, method, argumentsOf(pick(counts))];
      }
      if (kind === 3 && bad[entry[1]])
        return [object, method, [pick(bad[entry[1]])]];
      if (kind === 4 || kind === 3)
        return [object, method, [deep(9 + Math.floor(random() * 40))]];
      // Huge strings, seldom: each is a megabyte on the wire.
      return random() < 0.05 ? [object, method, [big]] : [pick(objects), method + '_', argumentsOf(2)];
    }
    var sent = 0;
    function chunk() {
      for (var i = 0; i < 250 && sent < total; ++i, ++sent) {
        var call = badCall();
        host.call(call[0], call[1], call[2]);
      }
      window.quivFuzzSent = sent;
      if (sent < total) setTimeout(chunk, 0);
    }
    chunk();
  });
})(%1, %2, %3);
)JS";
} // namespace

TEST_F(QVPlaybackServicePageTest, TenThousandBadPageCallsAreDroppedAndRealOnesStillWork)
{
    QFile library(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    ASSERT_TRUE(library.open(QIODevice::ReadOnly));
    const QString table = QStringLiteral(R"({
      "PlayerScriptObject": {"onPlayingTrackChanged": [0, "", 0], "onPlayStateChanged": [1, "int", 1],
        "onPlayingSourceChanged": [0, "", 0], "onPositionChanged": [1, "number", 1], "onMuteChanged": [1, "bool", 1],
        "onRepeatChanged": [1, "int", 1], "onShuffleChanged": [1, "bool", 1], "onVolumeChanged": [1, "number", 1],
        "onPlayerFlyoutToggled": [0, "", 0], "onPlayerFlyoutHidden": [0, "", 0], "onStationChanged": [1, "any", 1]},
      "DesktopScriptObject": {"onInitialize": [0, "", 0], "onPlayStateChanged": [0, "", 0],
        "onPositionChanged": [0, "", 0], "setDockBadgeLabel": [1, "any", 1], "bounceDockIcon": [0, "", 0]},
      "ClientManagerScriptObject": {"onCurrentUserIdChanged": [1, "int", 1], "showDownloadWindow": [0, "", 0],
        "onFreeLimitedNotification": [1, "any", 0], "onSecureDialogLoaded": [0, "", 0]}})");
    constexpr int kTotal = 10000;

    QStringList lines;
    {
        QVLogCapture capture;
        view.executeJavascript(QString::fromUtf8(library.readAll()) + QLatin1Char('\n')
            + QString::fromLatin1(kFuzzScript)
                  .arg(QVScriptValue::literal(QString::fromLatin1(QVPageBridgeScript::kHostObjectName)),
                      table, QString::number(kTotal)));
        EXPECT_TRUE(QVWaitUntil(
            [&] { return capture.lines().filter(QStringLiteral("Dropped")).size() >= kTotal; }, 120000, 200));
        QTest::qWait(500); // nothing more arrives
        lines = capture.lines();
    }
    EXPECT_EQ(view.javascriptIntValue("window.quivFuzzSent"), kTotal);
    // One line each, each one line: names and values from the page are escaped and cut.
    const QStringList dropped = lines.filter(QStringLiteral("Dropped"));
    EXPECT_EQ(dropped.size(), kTotal) << qPrintable(lines.mid(0, 20).join(u'\n'));
    for (const QString& line : dropped)
        ASSERT_LT(line.size(), 400) << qPrintable(line.left(400));
    EXPECT_TRUE(view.isResponsive());

    // Real calls still arrive and act.
    log.clear();
    playback->playSource("a12");
    ASSERT_TRUE(QVWaitUntil([&] { return reached(QVPlayStatePlaying); }));
    EXPECT_EQ(playback->playingTrackKey(), view.evaluate("Q.player.playingTrack().get('key')"));
}
