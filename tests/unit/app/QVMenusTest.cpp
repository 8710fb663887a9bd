// The menu bar's playback items and the tray menu against a playback service
// over fakes.
#include "../playback/QVPlaybackTestSupport.h"
#include "QVConstants.h"
#include "QVDockMenu.h"
#include "QVMainMenuController.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace {

class MenusTest : public PlaybackServiceTest
{
protected:
    MenusTest()
        : controller(QVMainMenuController::Services { &service, &navigation, &center })
    {
        navigation.setWebView(&page);
        controller.playPauseMenuItem = &playPause;
        controller.nextMenuItem = &next;
        controller.previousMenuItem = &previous;
        controller.increaseVolumeMenuItem = &volumeUp;
        controller.decreaseVolumeMenuItem = &volumeDown;
        controller.shuffleMenuItem = &shuffle;
        controller.repeatMenuItem = repeatMenu.menuAction();
        controller.authMenuItem = &auth;
        for (int state : { 0, 1, 2 }) {
            QAction* item = repeatMenu.addAction(QString::number(state));
            item->setCheckable(true);
            item->setData(state);
            controller.repeatGroup()->addAction(item);
        }
        controller.awakeFromNib();
    }

    QStringList titles(const QMenu& menu) const
    {
        QStringList list;
        for (QAction* item : menu.actions())
            list << (item->isSeparator() ? QStringLiteral("--") : item->text());
        return list;
    }

    QAction playPause { "Play" }, next { "Next" }, previous { "Previous" }, volumeUp { "Up" },
        volumeDown { "Down" }, shuffle { "Turn On Shuffle" }, auth { "Sign In" };
    QMenu repeatMenu { "Repeat" };
    QVMainMenuController controller;
};

} // namespace

TEST_F(MenusTest, EnablingFollowsLoadAndTextFocus)
{
    const struct {
        bool loaded, focused;
        bool playPause, skip, others;
    } cases[] = {
        { false, false, false, false, false }, { false, true, false, false, false },
        { true, false, true, true, true },
        { true, true, true, false, true }, // typing keeps play/pause, not next and previous
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "loaded " << c.loaded << " focused " << c.focused);
        c.loaded ? controller.onPlaybackLoaded() : controller.onPlaybackUnloaded();
        center.postNotificationName(c.focused ? QVTextFieldDidBecomeFirstResponderNotification
                                              : QVTextFieldDidResignFirstResponderNotification);
        EXPECT_EQ(playPause.isEnabled(), c.playPause);
        EXPECT_EQ(next.isEnabled(), c.skip);
        EXPECT_EQ(previous.isEnabled(), c.skip);
        for (QAction* item : { &volumeUp, &volumeDown, &shuffle, repeatMenu.menuAction() })
            EXPECT_EQ(item->isEnabled(), c.others) << qPrintable(item->text());
    }
}

TEST_F(MenusTest, TitlesAndChecksFollowThePlayer)
{
    const char* expected[] = { "Was", "Play", "Pause", "Was", "Was", "Was" };
    for (int state = 0; state <= 5; ++state) {
        playPause.setText("Was");
        controller.playbackPlayStateChanged(QVPlayState(state));
        EXPECT_EQ(playPause.text(), expected[state]) << state;
    }

    for (int state = 0; state <= 3; ++state) {
        controller.playbackRepeatChanged(2); // something checked before
        controller.playbackRepeatChanged(state);
        const QAction* checked = controller.repeatGroup()->checkedAction();
        EXPECT_EQ(checked ? checked->data().toInt() : 3, state);
    }

    controller.playbackShuffleChanged(true);
    EXPECT_EQ(shuffle.text(), "Turn Off Shuffle");
}

TEST_F(MenusTest, ItemsCommandThePageThroughTheQueue)
{
    loadPlayingPage();
    controller.repeatGroup()->actions().at(1)->trigger();
    shuffle.trigger();
    runQueuedEvents();
    EXPECT_EQ(page.scripts, (QStringList { "Q.player.repeat(1)", "Q.player.shuffle(!Q.player.shuffle());" }));

    const struct {
        bool signedIn;
        const char* title;
        const char* route;
    } cases[] = { { true, "Sign Out", "/signout/" }, { false, "Sign In", "/accounts/login/" } };
    for (const auto& c : cases) {
        page.scripts.clear();
        c.signedIn ? controller.onUserLoggedIn() : controller.onUserLoggedOut();
        EXPECT_EQ(auth.text(), c.title);
        auth.trigger();
        runQueuedEvents();
        ASSERT_EQ(page.scripts.size(), 1); // one action, the latest only
        EXPECT_TRUE(page.scripts.first().contains(c.route)) << qPrintable(page.scripts.first());
    }
}

TEST_F(MenusTest, TrayMenuShowsTheTrackAndCommands)
{
    QVDockMenu menu(QString(), nullptr, &service);
    QAction quit("Quit Quiv");
    menu.addTrailingAction(&quit);
    EXPECT_EQ(titles(menu), (QStringList { "Play", "Next", "Previous", "--", "Quit Quiv" }));

    // The page's raw state is ours less one.
    const struct {
        const char* rawState;
        const char* name;
        const char* artist;
        QStringList expected;
    } cases[] = {
        { "0", "Song", "Artist",
            { "Now Playing:", "   Song", "   Artist", "--", "Play", "Next", "Previous" } },
        { "1", "Rock & Roll", "A&B",
            { "Now Playing:", "   Rock && Roll", "   A&&B", "--", "Pause", "Next", "Previous" } },
        { "2", "Song", "Artist",
            { "Now Playing:", "   Song", "   Artist", "--", "Play", "Next", "Previous" } },
        { "3", "", "", { "Play", "Next", "Previous" } },
    };
    loadPlayingPage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        page.answers["Q.player.playState()"] = c.rawState;
        page.answers["Q.player.playingTrack().get('name')"] = c.name;
        page.answers["Q.player.playingTrack().get('artist')"] = c.artist;
        service.playbackPlayingTrackChanged(); // the page reports; the refresh tells listeners
        runQueuedEvents();
        EXPECT_EQ(titles(menu), c.expected + QStringList({ "--", "Quit Quiv" }));
    }

    // Its commands reach the page through the queue.
    page.scripts.clear();
    menu.actions().at(menu.actions().size() - 5)->trigger(); // "Play"/"Pause"
    runQueuedEvents();
    EXPECT_EQ(page.scripts, QStringList { "Q.player.togglePause();" });
    // The trailing item survives the refills and still works.
    EXPECT_EQ(menu.actions().last(), &quit);
}
