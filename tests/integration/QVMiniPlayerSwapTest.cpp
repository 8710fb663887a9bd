#include "QVApplicationLauncher.h"
#include "QVDemoClientFixture.h"
#include "QVFaceplateController.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
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
class QVMiniPlayerSwapTest : public QVDemoClientFixture
{
protected:
    QVMiniPlayerSwapTest()
        : playStateSignal(&log)
        , sleepMonitor(&log)
    {
        // As the program does: before the engine starts.
        QVApplicationLauncher::setEngineFlags();
    }

    void SetUp() override
    {
        startDemo();
        if (HasFatalFailure())
            return;
        playback = std::make_unique<QVWebPlaybackService>(QVWebPlaybackService::Services {
            &center, defaults.get(), navigation.get(), &playStateSignal, &volume, &output, &sleepMonitor });
        navigation->desktopScriptObject()->setPlaybackDelegate(playback.get());
        main = std::make_unique<QVMainPlayerWindow2>(nullptr, navigation.get(), defaults.get());
        mini = std::make_unique<QVMiniPlayerWindow>(nullptr, defaults.get(), playback.get(), &center);
        windows = std::make_unique<QVWindowService>(
            QVWindowService::Services { navigation.get(), &center, defaults.get(), constants.get() });
        windows->setMainPlayerWindow(main.get(), mini.get());
        windows->showCurrentWindow();
        ASSERT_TRUE(QVWaitUntil([&] { return playback->isPlaybackLoaded(); }, 20000));

        // The sign-in page, once its load is over: the first page may show a
        // sign-in form too, and a command sent while the second one loads is lost.
        QSignalSpy loaded(page(), &QWebEngineView::loadFinished);
        page()->loadURL(QUrl(constants->quivURL() + "/accounts/login/"));
        ASSERT_TRUE(
            QVWaitUntil([&] { return !loaded.isEmpty() && loaded.last().value(0).toBool(); }, 20000, 50));
        ASSERT_TRUE(QVWaitUntil(
            [&] { return page()->javascriptBoolValue("$('.Login_Form').length > 0"); }, 20000, 50));
        page()->executeJavascript(QVDemoService::signInScript());
        ASSERT_TRUE(QVWaitUntil([&] { return playback->isAuthenticated(); }, 20000));
    }
    void TearDown() override
    {
        if (main)
            page()->executeJavascript("Q.player.unload && Q.player.unload();");
        windows.reset();
        mini.reset();
        main.reset();
    }

    QVWebView* page() const { return main->webView(); }
    double currentTime() const { return page()->evaluate("Q.player.audio.currentTime").toDouble(); }

    QStringList log;
    RecordingPlayStateSignal playStateSignal;
    FakeSystemVolume volume;
    FakeAudioOutput output;
    FakeSleepMonitor sleepMonitor;
    std::unique_ptr<QVWebPlaybackService> playback;
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
    QVMiniPlayerView* view = mini->miniPlayerView();
    mini->resize(420, 64);

    playback->playSource("a12");
    ASSERT_TRUE(QVWaitUntil([&] { return playback->playState() == QVPlayStatePlaying; }));

    windows->showMiniPlayerWindow();
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(mini->isVisible());
    EXPECT_FALSE(main->isVisible());
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(view->playPauseButton()) == "mini_pause"; }));
    const QString title = page()->evaluate("Q.player.playingTrack().get('name')");
    EXPECT_FALSE(title.isEmpty());
    EXPECT_EQ(view->trackTitleButton()->title(), title);

    // Hidden, the page keeps playing and its timers keep their rate.
    const double before = currentTime();
    page()->executeJavascript(
        "window.__ticks = 0; window.__tick = setInterval(function () { __ticks++; }, 50);");
    QTest::qWait(1500);
    EXPECT_GT(currentTime(), before + 0.8);
    EXPECT_FALSE(page()->javascriptBoolValue("Q.player.audio.paused"));
    EXPECT_GE(page()->evaluate("__ticks").toInt(), 20);

    // The mini player's own controls act on the page.
    view->playPauseButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return page()->javascriptBoolValue("Q.player.audio.paused"); }, 10000, 50));
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(view->playPauseButton()) == "mini_play"; }));
    view->playPauseButton()->click();
    ASSERT_TRUE(QVWaitUntil([&] { return imageName(view->playPauseButton()) == "mini_pause"; }));

    // And back, one notice again; asking twice changes nothing.
    windows->showMainPlayerWindow();
    windows->showMainPlayerWindow();
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(mini->isVisible());
    EXPECT_FALSE(page()->javascriptBoolValue("Q.player.audio.paused"));
    center.removeObserver(this);
}
