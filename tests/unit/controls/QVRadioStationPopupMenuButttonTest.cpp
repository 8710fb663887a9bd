#include "QVRadioStationPopupMenuButtton.h"
#include "../playback/QVPlaybackTestSupport.h"

#include <QAction>
#include <QMenu>

namespace {

const QString kStations = QStringLiteral("JSON.stringify(Q.stationList)");

class QVRadioStationPopupMenuButttonTest : public PlaybackServiceTest
{
protected:
    QVRadioStationPopupMenuButttonTest()
        : button(nullptr, &service)
    {
        answerPlayingPage(page);
        service.webViewFinishedLoading();
        ordinary.addAction("Ordinary");
        button.setOrdinaryMenu(&ordinary);
    }

    void offer(int count)
    {
        QStringList stations;
        for (int i = 1; i <= count; ++i)
            stations.append(QStringLiteral(R"({"key":"s%1","name":"Mix %1 Quiv Station"})").arg(i));
        page.answers[kStations] = "[" + stations.join(",") + "]";
    }

    // Titles as shown, separators as "-", checked items marked "*".
    static QStringList layout(QMenu* menu)
    {
        QStringList items;
        for (QAction* action : menu->actions())
            items.append(action->isSeparator() ? "-" : action->text() + (action->isChecked() ? "*" : ""));
        return items;
    }

    QMenu ordinary;
    QVRadioStationPopupMenuButtton button;
};

TEST_F(QVRadioStationPopupMenuButttonTest, MenusForZeroToFiveStationsChoosingAndTurningOff)
{
    button.setCurrentStationKey("s2");
    struct Case {
        int count;
        QStringList items;
    };
    const Case cases[] = {
        { 0, { "Ordinary" } },
        { 1, { "Ordinary" } },
        { 2, { "Mix 1", "Mix 2*", "-", "-", "Turn Quiv Station Off" } },
        { 5, { "Mix 1", "Mix 2*", "-", "Mix 3", "Mix 4", "Mix 5", "-", "Turn Quiv Station Off" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        offer(c.count);
        EXPECT_EQ(layout(button.buildMenu()), c.items);
    }

    // Choosing one sends its key; off clears the check mark at once, before the player says so.
    offer(3);
    button.setCurrentStationKey("s1");
    QMenu* menu = button.buildMenu();
    ASSERT_NE(menu, nullptr);
    page.scripts.clear();
    menu->actions().at(3)->trigger(); // Mix 3
    ASSERT_EQ(page.scripts.size(), 1);
    EXPECT_TRUE(page.scripts.first().contains(R"("key":"s3")"));
    page.answers
        ["Q.player != null && Q.player.playingTrack() != null && Q.isStation(Q.player.playingSource())"]
        = "true";
    page.scripts.clear();
    menu->actions().last()->trigger();
    EXPECT_TRUE(page.scripts.contains("setStation(null)"));
    EXPECT_EQ(button.stationKey(), "");
    EXPECT_EQ(layout(button.buildMenu()).last(), "Quiv Station Off*");
}

TEST_F(QVRadioStationPopupMenuButttonTest, BadStationListsNeverBreakTheMenu)
{
    // Entries without a string key are skipped; markup and "&" show as they are.
    page.answers[kStations] = R"([{"key":1,"name":"Number"},{"name":"No key"},"text",)"
                              R"({"key":"a","name":"Rock & <b>Roll</b>"},{"key":"b","name":"B"}])";
    QMenu* menu = button.buildMenu();
    ASSERT_NE(menu, &ordinary);
    EXPECT_EQ(menu->actions().first()->text(), "Rock && <b>Roll</b>");

    for (const char* bad : { "", "{}", "[", "null", "[1,2,3]" }) {
        page.answers[kStations] = bad;
        EXPECT_EQ(button.buildMenu(), &ordinary) << bad;
    }
    offer(1000);
    EXPECT_EQ(button.buildMenu()->actions().size(), 1000 + 3);
}

} // namespace
