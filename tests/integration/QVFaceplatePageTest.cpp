#include "QVDemoClientFixture.h"
#include "QVFaceplateController.h"
#include "QVFaceplateSliderButton.h"
#include "QVFaceplateView.h"
#include "QVPushButtonCell.h"
#include "QVTestWait.h"
#include "QVTextPushButton.h"
#include "QVWebView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

namespace {

QString imageName(QVPushButton* button)
{
    return button->cell()->regularButtonImage().name();
}

// A faceplate over the playback service of the demo web application's real player.
class QVFaceplatePageTest : public QVDemoPlaybackFixture
{
protected:
    void beforePageLoads() override
    {
        faceplate = std::make_unique<QVFaceplateView>(QVFaceplateView::Kind::Main, nullptr,
            new QVFaceplateController({ playback.get(), navigation.get(), &center }), playback.get(),
            playback->albumArtHandler());
        faceplate->show();
    }
    void TearDown() override
    {
        QVDemoPlaybackFixture::TearDown();
        faceplate.reset();
    }

    std::unique_ptr<QVFaceplateView> faceplate;
};

} // namespace

TEST_F(QVFaceplatePageTest, TheControlsDriveThePlayerAndFollowThePage)
{
    playback->playSource("a12");
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "pause"; }));
    EXPECT_EQ(faceplate->trackTitleButton()->title(), view.evaluate("Q.player.playingTrack().get('name')"));
    // The position row appears once the page reports a position.
    ASSERT_TRUE(QVWaitUntil([&] { return !faceplate->trackElapsedField()->isHidden(); }));

    // Pause by the button: the page's media element stops.
    faceplate->playPauseButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return view.javascriptBoolValue("Q.player.audio.paused"); }, 10000, 50));
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "play"; }));
    faceplate->playPauseButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "pause"; }));

    // Skip. (Waits poll native state: a page read every few milliseconds
    // would hold back the page's own reports.)
    const QString firstTitle = faceplate->trackTitleButton()->title();
    faceplate->nextButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return faceplate->trackTitleButton()->title() != firstTitle; }));
    EXPECT_EQ(faceplate->trackTitleButton()->title(), view.evaluate("Q.player.playingTrack().get('name')"));

    // Seek half-way with one click on the progress slider.
    QVFaceplateSliderButton* progress = faceplate->trackProgressSlider();
    ASSERT_TRUE(QVWaitUntil([&] { return !progress->isHidden() && !progress->isLoading(); }));
    const double duration = playback->playingTrackDurationSeconds();
    QTest::mouseClick(progress, Qt::LeftButton, {}, QPoint(progress->width() / 2, progress->height() / 2));
    ASSERT_TRUE(QVWaitUntil(
        [&] { return std::abs(view.evaluate("Q.player.audio.currentTime").toDouble() - duration / 2) < 3; }));

    // Volume: the slider sets the page's, and follows the page's own changes.
    QVFaceplateSliderButton* volumeSlider = faceplate->volumeSlider();
    QTest::mouseClick(volumeSlider, Qt::LeftButton, {},
        QPoint(int(volumeSlider->width() * 0.3), volumeSlider->height() / 2));
    const int set = volumeSlider->intValue();
    ASSERT_TRUE(QVWaitUntil(
        [&] { return std::lround(view.evaluate("Q.player.volume()").toDouble() * 100) == set; }, 10000, 50));
    view.executeJavascript("Q.player.volume(0.8)");
    ASSERT_TRUE(QVWaitUntil([&] { return volumeSlider->intValue() == 80; }));

    // A pause made in the page shows on the button.
    view.executeJavascript("Q.player.togglePause()");
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(faceplate->playPauseButton()) == "play"; }));
}
