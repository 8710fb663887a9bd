#include "QVFaceplateController.h"
#include "../playback/QVPlaybackTestSupport.h"
#include "QVConstants.h"
#include "QVFaceplateSliderButton.h"
#include "QVFaceplateView.h"
#include "QVPushButtonCell.h"
#include "QVTestWait.h"
#include "QVTextPushButton.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include <memory>

namespace {

const QString kNotMaster = QStringLiteral("window.Q && Q.player && Q.player.isNotMaster()");
const QString kStation = QStringLiteral(
    "Q.player != null && Q.player.playingTrack() != null && Q.isStation(Q.player.playingSource())");
const QString kElapsed = QStringLiteral("window.$ && $('.time').text()");

QString imageName(QVPushButton* button)
{
    return button->cell()->regularButtonImage().name();
}

// A faceplate over a playback service whose page is a table of answers.
class QVFaceplateControllerTest : public PlaybackServiceTest
{
protected:
    // A loaded page playing "Song" at 1:02 of 3:07, volume 0.555, not a station.
    QVFaceplateControllerTest()
    {
        makeFaceplate();
        answerPlayingPage(page);
        page.answers[kNotMaster] = "false";
        page.answers[kStation] = "false";
        page.answers[kElapsed] = "1:02";
        service.webViewFinishedLoading();
        controller()->onPlaybackLoaded();
    }

    void makeFaceplate()
    {
        faceplate.reset();
        faceplate = std::make_unique<QVFaceplateView>(QVFaceplateView::Kind::Main, nullptr,
            new QVFaceplateController({ &service, &navigation, &center }), &service,
            service.albumArtHandler());
        faceplate->show();
    }

    QVFaceplateController* controller() const { return faceplate->controller(); }

    void setState(QVPlayState state)
    {
        service.playerScriptObject()->setPlayState(state);
        controller()->playbackPlayStateChanged(state);
    }

    QStringList commandsOf(const std::function<void()>& action)
    {
        page.scripts.clear();
        action();
        QStringList commands;
        for (const QString& script : page.scripts)
            if (script.startsWith("Q.player.") && script.contains('('))
                commands.append(script);
        return commands;
    }

    std::unique_ptr<QVFaceplateView> faceplate;
};

TEST_F(QVFaceplateControllerTest, PlayStatesWithAndWithoutAStation)
{
    struct Case {
        QVPlayState state;
        bool station;
        QString playImage;
        bool stationShown;
        QString stationImage;
        bool sliderLoading;
    };
    // Stopped and inactive keep the transport only while there is a track.
    const Case cases[] = {
        { QVPlayStateUnknown, false, "play", true, "quiv_station_off", false },
        { QVPlayStatePaused, false, "play", false, "quiv_station_off", false },
        { QVPlayStatePlaying, false, "pause", false, "quiv_station_off", false },
        { QVPlayStateStopped, false, "play", true, "quiv_station_off", false },
        { QVPlayStateBuffering, false, "play", false, "quiv_station_off", true },
        { QVPlayStateInactive, false, "play", true, "quiv_station_off", false },
        { QVPlayStatePaused, true, "play", true, "quiv_station_on", false },
        { QVPlayStatePlaying, true, "pause", true, "quiv_station_on", false },
        { QVPlayStateBuffering, true, "play", true, "quiv_station_on", true },
        { QVPlayStateStopped, true, "play", true, "quiv_station_off", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("state %1 station %2").arg(c.state).arg(c.station).toStdString());
        makeFaceplate();
        controller()->onPlaybackLoaded();
        // Start from paused so that the play set is what each state leaves or sets.
        setState(QVPlayStatePaused);
        page.answers[kStation] = c.station ? "true" : "false";
        page.answers[kElapsed] = c.sliderLoading ? "" : "1:02";
        setState(c.state);
        EXPECT_EQ(controller()->isFaceplateEnabled(), c.state != QVPlayStateUnknown);
        EXPECT_EQ(imageName(faceplate->playPauseButton()), c.playImage);
        EXPECT_EQ(!faceplate->radioButton()->isHidden(), c.stationShown);
        EXPECT_EQ(imageName(faceplate->radioButton()), c.stationImage);
        EXPECT_EQ(faceplate->trackProgressSlider()->isLoading(), c.sliderLoading);
    }

    // Stopped without a track: only the volume is left to use.
    service.playerScriptObject()->playingTrack()->clear();
    page.answers["Q.player != null && Q.player.playingTrack() != null"] = "false";
    setState(QVPlayStateStopped);
    EXPECT_FALSE(faceplate->playPauseButton()->isEnabled());
    EXPECT_TRUE(faceplate->volumeSlider()->isEnabled());
    EXPECT_EQ(faceplate->trackTitleButton()->title(), "");
}

TEST_F(QVFaceplateControllerTest, PositionRowFollowsTheTimesAndTheMaster)
{
    // Page text is shown as it is, never as markup.
    page.answers["Q.player.playingTrack().get('name')"] = "<b>Bold</b> & Co";
    service.playerScriptObject()->forceRefreshProperties();
    setState(QVPlayStatePlaying);
    EXPECT_EQ(faceplate->trackTitleButton()->title(), "<b>Bold</b> & Co");
    EXPECT_EQ(faceplate->trackElapsedField()->textFormat(), Qt::PlainText);
    EXPECT_EQ(faceplate->trackElapsedField()->text(), "1:02");
    EXPECT_EQ(faceplate->trackLengthButton()->title(), "-2:05");
    EXPECT_NEAR(faceplate->trackProgressSlider()->floatValue(), 62.0f / 187.0f * 100.0f, 0.001);

    // Inactive with a known position: the slider shows it, the texts go.
    setState(QVPlayStateInactive);
    EXPECT_TRUE(faceplate->trackElapsedField()->isHidden());
    EXPECT_FALSE(faceplate->trackProgressSlider()->isHidden());

    // Zero elapsed or zero duration: no times, and a playing slider shows it is loading.
    for (const auto& [elapsed, duration] : { std::pair { "0:00", "187" }, std::pair { "1:02", "0" } }) {
        SCOPED_TRACE(elapsed);
        page.answers[kElapsed] = elapsed;
        page.answers["Q.player.playingTrack().get('duration')"] = duration;
        service.playerScriptObject()->forceRefreshProperties();
        setState(QVPlayStatePlaying);
        EXPECT_TRUE(faceplate->trackElapsedField()->isHidden());
        EXPECT_TRUE(faceplate->trackProgressSlider()->isLoading());
    }
    // "99:99" on a three-minute track: the slider stays at its end, nothing left to show.
    page.answers[kElapsed] = "99:99";
    page.answers["Q.player.playingTrack().get('duration')"] = "187";
    service.playerScriptObject()->forceRefreshProperties();
    setState(QVPlayStatePaused);
    EXPECT_GT(faceplate->trackProgressSlider()->floatValue(), 100.0f);
    EXPECT_EQ(faceplate->trackLengthButton()->title(), "");

    // Another client is the master: no position row at all.
    page.answers[kNotMaster] = "true";
    setState(QVPlayStatePlaying);
    EXPECT_TRUE(faceplate->trackElapsedField()->isHidden());
    EXPECT_TRUE(faceplate->trackProgressSlider()->isHidden());
}

TEST_F(QVFaceplateControllerTest, VolumeIconsAndSlider)
{
    struct Case {
        float volume;
        bool muted;
        QString icon;
        int slider;
    };
    const Case cases[] = {
        { 0.0f, false, "volume_empty", 0 },
        { 0.5f, false, "volume_half_full", 50 },
        { 0.51f, false, "volume_full", 51 },
        { 0.53f, false, "volume_full", 53 },
        { 0.8f, true, "volume_empty", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        service.playerScriptObject()->setVolume(c.volume);
        service.playerScriptObject()->setIsMuted(c.muted);
        controller()->playbackVolumeChanged(c.volume * 100);
        EXPECT_EQ(imageName(faceplate->volumeButton()), c.icon);
        EXPECT_EQ(faceplate->volumeSlider()->intValue(), c.slider);
        EXPECT_EQ(faceplate->volumeButton()->isChecked(), c.muted);
    }
}

TEST_F(QVFaceplateControllerTest, ClicksSendTheirCommands)
{
    setState(QVPlayStatePlaying);
    const std::pair<QAbstractButton*, const char*> buttons[]
        = { { faceplate->playPauseButton(), "Q.player.togglePause();" },
              { faceplate->previousButton(), "Q.player.previous();" },
              { faceplate->nextButton(), "Q.player.next();" } };
    for (const auto& [button, command] : buttons)
        EXPECT_EQ(commandsOf([&] { QTest::mouseClick(button, Qt::LeftButton); }), QStringList { command });
    // Ctrl-click skips further, which sends nothing to this page.
    EXPECT_EQ(
        commandsOf([&] { QTest::mouseClick(faceplate->nextButton(), Qt::LeftButton, Qt::ControlModifier); }),
        QStringList {});

    // Half-way along the progress slider: half of 187 s, truncated.
    QVFaceplateSliderButton* progress = faceplate->trackProgressSlider();
    EXPECT_EQ(commandsOf(
                  [&] { QTest::mouseClick(progress, Qt::LeftButton, {}, QPoint(progress->width() / 2, 5)); }),
        QStringList { QStringLiteral("Q.player.position(%1)").arg(unsigned(187 * 0.5)) });

    QVFaceplateSliderButton* volume = faceplate->volumeSlider();
    volume->resize(100, volume->height());
    const QStringList volumes
        = commandsOf([&] { QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(53, 5)); });
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.last(), "Q.player.volume(0.530000)");
}

TEST_F(QVFaceplateControllerTest, BatchedAndSingleReadsShowTheSame)
{
    page.answers[kStation] = "true";
    // What the faceplate shows, and the round trips it took.
    const auto run = [&](bool batched) {
        makeFaceplate();
        controller()->setUsesBatchedReads(batched);
        controller()->onPlaybackLoaded();
        service.playerScriptObject()->setPlayState(QVPlayStatePlaying);
        page.roundTrips = 0;
        controller()->playbackPlayStateChanged(QVPlayStatePlaying);
        return std::pair { QStringList { faceplate->trackElapsedField()->text(),
                               faceplate->trackLengthButton()->title(),
                               faceplate->trackTitleButton()->title(),
                               QString::number(faceplate->trackProgressSlider()->floatValue()),
                               faceplate->radioButton()->isHidden() ? "no station" : "station" },
            page.roundTrips };
    };
    const auto [single, singleTrips] = run(false);
    const auto [batched, batchedTrips] = run(true);
    EXPECT_EQ(batched, single);
    EXPECT_EQ(batched.last(), "station");
    EXPECT_EQ(batchedTrips, 1);
    EXPECT_GT(singleTrips, 3);
}

TEST_F(QVFaceplateControllerTest, SignOutBlanksAndAControllerMayGoWhileTheServiceRuns)
{
    setState(QVPlayStatePlaying);
    center.postNotificationName(QString::fromLatin1(QVUserDidSignOutNotification));
    EXPECT_FALSE(controller()->isFaceplateEnabled());
    EXPECT_EQ(faceplate->trackTitleButton()->title(), "");
    // Signed in again on the page that stayed loaded: the controls come back.
    center.postNotificationName(QString::fromLatin1(QVUserDidSignInNotification));
    EXPECT_TRUE(controller()->isFaceplateEnabled());
    EXPECT_EQ(faceplate->trackTitleButton()->title(), "Song");

    // Gone while the service runs: it is no longer told anything.
    const int observers = center.observerCount();
    faceplate.reset();
    EXPECT_LT(center.observerCount(), observers);
    service.playbackPlayStateChanged(QVPlayStatePaused);
    runQueuedEvents();
    center.postNotificationName(QString::fromLatin1(QVUserDidSignOutNotification));
}

// Every control in the accessible tree under the faceplate, as "role:name".
void collect(QAccessibleInterface* node, QStringList* found, int depth = 0)
{
    if (!node || depth > 8)
        return;
    found->append(QStringLiteral("%1:%2").arg(int(node->role())).arg(node->text(QAccessible::Name)));
    for (int i = 0; i < node->childCount(); ++i)
        collect(node->child(i), found, depth + 1);
}

TEST_F(QVFaceplateControllerTest, ScreenReadersFindEveryControlByRoleAndName)
{
    setState(QVPlayStatePlaying);
    QStringList found;
    collect(QAccessible::queryAccessibleInterface(faceplate.get()), &found);
    const std::pair<QAccessible::Role, const char*> controls[] = { { QAccessible::Button, "Previous" },
        { QAccessible::Button, "Pause" }, { QAccessible::Button, "Next" }, { QAccessible::CheckBox, "Mute" },
        { QAccessible::CheckBox, "Shuffle" }, { QAccessible::Button, "Repeat" },
        { QAccessible::Button, "Play Queue" }, { QAccessible::Button, "Quiv Station" },
        { QAccessible::Button, "Song" }, { QAccessible::Button, "Artist" }, { QAccessible::Slider, "Volume" },
        { QAccessible::Slider, "Track Position" }, { QAccessible::StaticText, "Elapsed Time" },
        { QAccessible::Button, "Album Art" } };
    for (const auto& [role, name] : controls) {
        const QString expected = QStringLiteral("%1:%2").arg(int(role)).arg(name);
        EXPECT_TRUE(found.contains(expected)) << name << " in " << found.join(", ").toStdString();
    }

    // The play button's action plays: pressing it through the interface sends the command.
    QAccessibleInterface* play = QAccessible::queryAccessibleInterface(faceplate->playPauseButton());
    ASSERT_NE(play->actionInterface(), nullptr);
    page.scripts.clear();
    play->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QVWaitUntil([&] { return page.scripts.contains("Q.player.togglePause();"); }, 2000));
    EXPECT_EQ(faceplate->volumeSlider()->focusPolicy(), Qt::TabFocus);
}

} // namespace
