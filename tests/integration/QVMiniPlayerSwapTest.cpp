#include "QVDemoClientFixture.h"
#include "QVFaceplateController.h"
#include "QVInterfaceBuilder.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
#include "QVNavigationController.h"
#include "QVPushButtonCell.h"
#include "QVTextPushButton.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace {

QString imageName(QVPushButton* button)
{
    return button->cell()->regularButtonImage().name();
}

// The real window service swapping the real main player and mini player over
// the demo web application, signed in.
class QVMiniPlayerSwapTest : public QVDemoPlaybackFixture
{
protected:
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
    void TearDown() override
    {
        QVDemoPlaybackFixture::TearDown();
        windows.reset();
        mini.reset();
        main.reset();
    }

    double currentTime() const { return page->evaluate("Q.player.audio.currentTime").toDouble(); }

    std::unique_ptr<QVMainPlayerWindow2> main;
    std::unique_ptr<QVMiniPlayerWindow> mini;
    std::unique_ptr<QVWindowService> windows;
};

} // namespace

TEST_F(QVMiniPlayerSwapTest, TheMiniPlayerShowsThePlayingTrackAndTheMusicPlaysOn)
{
    int changes = 0;
    center.addObserver(this, QString::fromLatin1(QVWindowServiceWindowChangedNotification),
        [&](const QVNotification&) { ++changes; });
    QVMiniPlayerView* miniView = mini->miniPlayerView();
    mini->resize(420, 64);

    playback->playSource("a12");
    ASSERT_TRUE(QVWaitUntil([&] { return playback->playState() == QVPlayStatePlaying; }));

    windows->showMiniPlayerWindow();
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(mini->isVisible());
    EXPECT_FALSE(main->isVisible());
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(miniView->playPauseButton()) == "mini_pause"; }));
    const QString title = page->evaluate("Q.player.playingTrack().get('name')");
    EXPECT_FALSE(title.isEmpty());
    EXPECT_EQ(miniView->trackTitleButton()->title(), title);

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
    EXPECT_FALSE(mini->isVisible());
    EXPECT_TRUE(QVWaitUntil([&] { return page->evaluate("location.pathname") == trackPage; }))
        << qPrintable(trackPage);
    EXPECT_FALSE(page->javascriptBoolValue("Q.player.audio.paused"));
    center.removeObserver(this);
}
