#include "QVDemoClientFixture.h"
#include "QVFaceplateController.h"
#include "QVFaceplateSliderButton.h"
#include "QVFaceplateView.h"
#include "QVInterfaceBuilder.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
#include "QVNavigationController.h"
#include "QVPushButtonCell.h"
#include "QVTextPushButton.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

namespace {

QString imageName(QVPushButton* button)
{
    return button->cell()->regularButtonImage().name();
}

// The controls a user meets over the demo web application's real player,
// signed in: a faceplate, and the real window service swapping the real main
// player and mini player.
class QVPlayerControlsPageTest : public QVDemoPlaybackFixture
{
protected:
    void beforePageLoads() override
    {
        faceplate = std::make_unique<QVFaceplateView>(QVFaceplateView::Kind::Main, nullptr,
            new QVFaceplateController({ playback.get(), navigation.get(), &center }), playback.get(),
            playback->albumArtHandler());
        faceplate->show();
    }
    QVWebView* attachView() override
    {
        main = std::make_unique<QVMainPlayerWindow2>(nullptr, navigation.get(), defaults.get());
        mini = std::make_unique<QVMiniPlayerWindow>(nullptr, defaults.get(), playback.get(), &center);
        windows = std::make_unique<QVWindowService>(
            QVWindowService::Services { navigation.get(), &center, defaults.get(), constants.get() });
        windows->setMainPlayerWindow(main.get(), mini.get());
        windows->showCurrentWindow();
        // The first page's load is over before the sign-in page is asked for.
        EXPECT_TRUE(QVWaitUntil([&] { return playback->isPlaybackLoaded(); }, 20000));
        return main->webView();
    }
    QString pageTrackName() const { return page->evaluate("Q.player.playingTrack().get('name')"); }
    double currentTime() const { return page->evaluate("Q.player.audio.currentTime").toDouble(); }

    std::unique_ptr<QVFaceplateView> faceplate;
    std::unique_ptr<QVMainPlayerWindow2> main;
    std::unique_ptr<QVMiniPlayerWindow> mini;
    std::unique_ptr<QVWindowService> windows;
};

} // namespace

TEST_F(QVPlayerControlsPageTest, TheFaceplateAndTheMiniPlayerDriveAndFollowThePage)
{
    playback->playSource("a12");
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "pause"; }));
    EXPECT_EQ(faceplate->trackTitleButton()->title(), pageTrackName());
    // The position row appears once the page reports a position.
    ASSERT_TRUE(QVWaitUntil([&] { return !faceplate->trackElapsedField()->isHidden(); }));

    // Pause by the button: the page's media element stops.
    faceplate->playPauseButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return page->javascriptBoolValue("Q.player.audio.paused"); }, 10000, 50));
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "play"; }));
    faceplate->playPauseButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "pause"; }));

    // Skip. (Waits poll native state: a page read every few milliseconds
    // would hold back the page's own reports.)
    const QString firstTitle = faceplate->trackTitleButton()->title();
    faceplate->nextButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return faceplate->trackTitleButton()->title() != firstTitle; }));
    EXPECT_EQ(faceplate->trackTitleButton()->title(), pageTrackName());

    // Seek half-way with one click on the progress slider.
    QVFaceplateSliderButton* progress = faceplate->trackProgressSlider();
    ASSERT_TRUE(QVWaitUntil([&] { return !progress->isHidden() && !progress->isLoading(); }));
    const double duration = playback->playingTrackDurationSeconds();
    QTest::mouseClick(progress, Qt::LeftButton, {}, QPoint(progress->width() / 2, progress->height() / 2));
    ASSERT_TRUE(QVWaitUntil([&] { return std::abs(currentTime() - duration / 2) < 3; }));

    // Volume: the slider sets the page's, and follows the page's own changes.
    QVFaceplateSliderButton* volumeSlider = faceplate->volumeSlider();
    QTest::mouseClick(volumeSlider, Qt::LeftButton, {},
        QPoint(int(volumeSlider->width() * 0.3), volumeSlider->height() / 2));
    const int set = volumeSlider->intValue();
    ASSERT_TRUE(QVWaitUntil(
        [&] { return std::lround(page->evaluate("Q.player.volume()").toDouble() * 100) == set; }, 10000, 50));
    page->executeJavascript("Q.player.volume(0.8)");
    ASSERT_TRUE(QVWaitUntil([&] { return volumeSlider->intValue() == 80; }));

    // A pause made in the page shows on the button; and a play.
    page->executeJavascript("Q.player.togglePause()");
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "play"; }));
    page->executeJavascript("Q.player.togglePause()");
    ASSERT_TRUE(QVWaitUntil([&] { return playback->playState() == QVPlayStatePlaying; }));

    // To the mini player: one change notice, the playing state and track.
    int changes = 0;
    center.addObserver(this, QString::fromLatin1(QVWindowServiceWindowChangedNotification),
        [&](const QVNotification&) { ++changes; });
    QVMiniPlayerView* miniView = mini->miniPlayerView();
    mini->resize(420, 64);
    windows->showMiniPlayerWindow();
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(mini->isVisible());
    EXPECT_FALSE(main->isVisible());
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(miniView->playPauseButton()) == "mini_pause"; }));
    EXPECT_EQ(miniView->trackTitleButton()->title(), pageTrackName());

    // Hidden, the page keeps playing and its timers keep their rate.
    const double before = currentTime();
    page->executeJavascript(
        "window.__ticks = 0; window.__tick = setInterval(function () { __ticks++; }, 50);");
    QTest::qWait(1500);
    EXPECT_GT(currentTime(), before + 0.8);
    EXPECT_FALSE(page->javascriptBoolValue("Q.player.audio.paused"));
    EXPECT_GE(page->evaluate("__ticks").toInt(), 20);

    // The title leads back to the main player, on the track's page: one
    // notice again; asking twice changes nothing.
    QVNavigationController router(QVNavigationController::Services {
        &center, navigation.get(), constants.get(), windows.get(), [](const QUrl&) {}, false });
    router.setWebView(main->webView());
    router.setPlayingPages({ [&] { return playback->playingTrackURL(); }, {}, {} });
    QVInterfaceBuilder::wireMiniPlayer(miniView, &router);
    const QString trackPage = QUrl(playback->playingTrackURL()).path();
    ASSERT_FALSE(trackPage.isEmpty());
    QTest::mouseClick(miniView->trackTitleButton(), Qt::LeftButton);
    windows->showMainPlayerWindow();
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(QVWaitUntil([&] { return page->evaluate("location.pathname") == trackPage; }))
        << qPrintable(trackPage);
    EXPECT_FALSE(page->javascriptBoolValue("Q.player.audio.paused"));
    center.removeObserver(this);
}
