#include "QVDesktopClientScriptObject.h"
#include "QVConstants.h"
#include "QVDesktopPlaybackDelegate.h"
#include "QVDockTile.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class RecordingPlayback : public QVDesktopPlaybackDelegate
{
public:
    void playbackPlayStateChanged(QVPlayState state) override
    {
        events << QStringLiteral("state %1").arg(state);
    }
    void playbackPlayingTrackChanged() override { events << "track"; }
    void playbackShuffleChanged(bool on) override { events << QStringLiteral("shuffle %1").arg(on); }
    void playbackRepeatChanged(int repeat) override { events << QStringLiteral("repeat %1").arg(repeat); }
    void playbackPositionChanged(float fraction) override { fractions << fraction; }
    void playbackVolumeChanged(float volume) override { events << QStringLiteral("volume %1").arg(volume); }
    QStringList events;
    QList<float> fractions;
};

class QVDesktopClientScriptObjectTest : public ::testing::Test
{
protected:
    QVDesktopClientScriptObjectTest()
        : object(&center, &tile)
    {
        object.setWebView(&page);
        object.setPlaybackDelegate(&playback);
        center.addObserver(this, QVJavascriptContentInitializedNotification,
            [this](const QVNotification&) { ++initialized; });
    }
    void withPlayer()
    {
        page.answers["Q.player != null"] = "true";
        page.answers["Q.player != null && Q.player.playingTrack() != null"] = "true";
    }

    QVNotificationCenter center;
    QVDockTile tile;
    QVFakeWebView page;
    RecordingPlayback playback;
    QVDesktopClientScriptObject object;
    int initialized = 0;
};

} // namespace

TEST_F(QVDesktopClientScriptObjectTest, PlayerReportsReadTheirValueWithTheGuardInOneTrip)
{
    for (const char* call : { "onPlayStateChanged", "onShuffleChanged", "onRepeatChanged", "onVolumeChanged",
             "onPositionChanged", "onPlayingTrackChanged" })
        object.invokeScriptMethod(call, {});
    // The track and the state are always passed on: the service's refresh reads them.
    EXPECT_EQ(playback.events, (QStringList { "state 0", "track" }));
    EXPECT_TRUE(playback.fractions.isEmpty());
    EXPECT_EQ(page.roundTrips, 4);

    withPlayer();
    page.answers["Q.player.shuffle()"] = "true";
    page.answers["Q.player.repeat()"] = "2";
    page.answers["Q.player.volume()"] = "0.5";
    page.roundTrips = 0;
    playback.events.clear();
    for (const char* call :
        { "onPlayStateChanged", "onShuffleChanged", "onRepeatChanged", "onVolumeChanged" })
        object.invokeScriptMethod(call, {});
    EXPECT_EQ(playback.events, (QStringList { "state 0", "shuffle 1", "repeat 2", "volume 0.5" }));
    EXPECT_EQ(page.roundTrips, 3);

    // A page that stops answering: nothing read is reported.
    page.responsive = false;
    object.invokeScriptMethod("onShuffleChanged", {});
    EXPECT_EQ(playback.events.size(), 4);
}

TEST_F(QVDesktopClientScriptObjectTest, PositionFractionStaysFinite)
{
    withPlayer();
    const QString duration = QStringLiteral("Q.player.playingTrack().get('duration')");
    const QString position = QStringLiteral("Q.player.position()");
    for (const auto& [length, at] : { std::pair { "120", "30" }, { "0", "30" }, { "100", "130" } }) {
        page.answers[duration] = length; // "0": no duration yet
        page.answers[position] = at;
        object.onPositionChanged();
    }
    ASSERT_EQ(playback.fractions.size(), 3);
    EXPECT_FLOAT_EQ(playback.fractions[0], 0.25f);
    EXPECT_EQ(playback.fractions[1], 0.0f);
    EXPECT_EQ(playback.fractions[2], 1.0f);
    EXPECT_EQ(QVDesktopClientScriptObject::positionFraction(NAN, 10), 0.0f);
    EXPECT_EQ(QVDesktopClientScriptObject::positionFraction(5, INFINITY), 0.0f);
}

TEST_F(QVDesktopClientScriptObjectTest, InitialisationFollowsEachLoad)
{
    object.invokeScriptMethod("onInitialize", {});
    object.invokeScriptMethod("onInitialize", {});
    EXPECT_EQ(initialized, 2); // every call posts
    EXPECT_TRUE(object.isInitialized());

    object.onContentWillReload();
    EXPECT_FALSE(object.isInitialized());
    page.answers["typeof Q == 'object'"] = "true";
    page.answers["Q.Models.Desktop.IS_USING_WHITE_QUIV"] = "false";
    EXPECT_TRUE(object.isUsingWhiteQuiv()); // the half-loaded page is not asked

    // A page that initialised before our object was there.
    object.onContentDidReload();
    EXPECT_EQ(initialized, 2);
    page.answers["typeof Q.desktop == 'object'"] = "true";
    page.answers["Q.desktop.isInitialized"] = "true";
    object.onContentDidReload();
    object.onContentDidReload();
    EXPECT_EQ(initialized, 3); // once
    EXPECT_FALSE(object.isUsingWhiteQuiv());
}

TEST_F(QVDesktopClientScriptObjectTest, PresentationSettings)
{
    object.onInitialize();
    page.answers["typeof Q == 'object'"] = "true";
    EXPECT_EQ(object.headerBackgroundColor(), std::nullopt); // the page names none
    page.answers["Q.Models.Desktop.HEADER_BACKGROUND_COLOR"] = "#ff8000";
    EXPECT_EQ(object.headerBackgroundColor(), QColor(255, 128, 0));

    const QString classes = QStringLiteral("Q.Models.Desktop.IGNORED_DOM_CLASSES");
    for (const char* length : { "0", "-1", "abc", "" }) {
        page.answers[classes + ".length"] = length;
        EXPECT_TRUE(object.ignoredDOMClasses().isEmpty()) << length;
    }
    page.answers[classes + ".length"] = "2";
    page.answers[classes + "[0]"] = "Search_Box";
    page.answers[classes + "[1]"] = "Button";
    page.roundTrips = 0;
    EXPECT_EQ(object.ignoredDOMClasses(), (QStringList { "Search_Box", "Button" }));
    EXPECT_EQ(page.roundTrips, 3); // the guard, the length, and every entry in one trip
    page.answers[classes + ".length"] = "100000000";
    EXPECT_EQ(object.ignoredDOMClasses().size(), QVDesktopClientScriptObject::kMaxIgnoredEntries);
}

TEST_F(QVDesktopClientScriptObjectTest, BadgeFocusAndMalformedCalls)
{
    object.invokeScriptMethod("setDockBadgeLabel", { QStringLiteral("3") });
    EXPECT_EQ(tile.badgeLabel(), "3");
    object.invokeScriptMethod("setDockBadgeLabel", { 7 }); // not a string: ignored
    object.invokeScriptMethod("setDockBadgeLabel", {});
    object.invokeScriptMethod("setDockBadgeLabel", { QStringLiteral("a"), QStringLiteral("b") });
    EXPECT_EQ(tile.badgeLabel(), "3");
    object.invokeScriptMethod("setDockBadgeLabel", { QString(10000, QLatin1Char('9')) });
    EXPECT_EQ(tile.badgeLabel().size(), QVDockTile::kMaxBadgeLength);
    object.invokeScriptMethod("clearDockBadgeLabel", {});
    EXPECT_TRUE(tile.badgeLabel().isEmpty());

    QStringList names;
    for (const char* name :
        { QVTextFieldDidBecomeFirstResponderNotification, QVTextFieldDidResignFirstResponderNotification })
        center.addObserver(&names, name, [&](const QVNotification& n) { names << n.name; });
    object.invokeScriptMethod("onSearchBoxFocus", {});
    object.invokeScriptMethod("onSearchBoxBlur", {});
    object.invokeScriptMethod("onSearchBoxBlur", { true }); // extra argument: dropped
    object.invokeScriptMethod("onInitialize", { 1 }); // likewise
    EXPECT_EQ(names.size(), 2);
    EXPECT_EQ(initialized, 0);
}
