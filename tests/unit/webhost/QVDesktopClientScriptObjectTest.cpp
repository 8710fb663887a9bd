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
    page.answers["Q.player.shuffle()"] = "true";
    page.answers["Q.player.repeat()"] = "2";
    for (const char* call : { "onPlayStateChanged", "onShuffleChanged", "onRepeatChanged" })
        object.invokeScriptMethod(call, {});
    EXPECT_EQ(playback.events, (QStringList { "state 0", "shuffle 1", "repeat 2" }));
    EXPECT_EQ(page.roundTrips, 2);

    // No player, or a page that stops answering: nothing read is reported.
    page.answers["Q.player != null"] = "false";
    object.invokeScriptMethod("onShuffleChanged", {});
    page.answers["Q.player != null"] = "true";
    page.responsive = false;
    object.invokeScriptMethod("onShuffleChanged", {});
    EXPECT_EQ(playback.events.size(), 3);
}

TEST_F(QVDesktopClientScriptObjectTest, PositionIsAFiniteFraction)
{
    const QString duration = QStringLiteral("Q.player.playingTrack().get('duration')");
    const QString position = QStringLiteral("Q.player.position()");
    for (const auto& [length, at] : { std::pair { "120", "30" }, { "0", "30" }, { "100", "130" } }) {
        page.answers[duration] = length; // "0": no duration yet
        page.answers[position] = at;
        object.onPositionChanged();
    }
    EXPECT_EQ(playback.fractions, (QList<float> { 0.25f, 0.0f, 1.0f }));
    EXPECT_EQ(QVDesktopClientScriptObject::positionFraction(NAN, 10), 0.0f);
    EXPECT_EQ(QVDesktopClientScriptObject::positionFraction(5, INFINITY), 0.0f);
}

TEST_F(QVDesktopClientScriptObjectTest, PresentationSettingsAreBounded)
{
    object.onInitialize();
    page.answers["typeof Q == 'object'"] = "true";
    page.answers["Q.Models.Desktop.HEADER_BACKGROUND_COLOR"] = "#ff8000";
    EXPECT_EQ(object.headerBackgroundColor(), QColor(255, 128, 0));
    page.answers["Q.Models.Desktop.HEADER_BACKGROUND_COLOR"] = "#f80"; // too short to read
    EXPECT_EQ(object.headerBackgroundColor(), std::nullopt);

    const QString classes = QStringLiteral("Q.Models.Desktop.IGNORED_DOM_CLASSES");
    for (const char* length : { "0", "-1", "abc" }) {
        page.answers[classes + ".length"] = length;
        EXPECT_TRUE(object.ignoredDOMClasses().isEmpty()) << length;
    }
    page.answers[classes + ".length"] = "2";
    page.answers[classes + "[0]"] = "Search_Box";
    page.answers[classes + "[1]"] = "Button";
    EXPECT_EQ(object.ignoredDOMClasses(), (QStringList { "Search_Box", "Button" }));
    page.answers[classes + ".length"] = "100000000";
    EXPECT_EQ(object.ignoredDOMClasses().size(), QVDesktopClientScriptObject::kMaxIgnoredEntries);
}

TEST_F(QVDesktopClientScriptObjectTest, BadgeFocusAndMalformedCalls)
{
    object.invokeScriptMethod("setDockBadgeLabel", { QStringLiteral("3") });
    object.invokeScriptMethod("setDockBadgeLabel", { 7 }); // not a string: ignored
    EXPECT_EQ(tile.badgeLabel(), "3");
    object.invokeScriptMethod("setDockBadgeLabel", { QString(10000, QLatin1Char('9')) });
    EXPECT_EQ(tile.badgeLabel().size(), QVDockTile::kMaxBadgeLength);

    int focusChanges = 0;
    center.addObserver(
        this, QVTextFieldDidBecomeFirstResponderNotification, [&](const QVNotification&) { ++focusChanges; });
    object.invokeScriptMethod("onSearchBoxFocus", {});
    object.invokeScriptMethod("onSearchBoxFocus", { true }); // extra argument: dropped
    object.invokeScriptMethod("onInitialize", { 1 }); // likewise
    EXPECT_EQ(focusChanges, 1);
    EXPECT_EQ(initialized, 0);
}
