#include "QVPageCommands.h"
#include "QVFakeWebView.h"

#include <gtest/gtest.h>

TEST(QVPageCommands, RouterNavigationQuotesThePath)
{
    QVFakeWebView page;
    QVRouterNavigate(&page, QStringLiteral("/accounts/login/"));
    QVRouterNavigate(&page, QStringLiteral("/search/it's'); alert('x"));
    ASSERT_EQ(page.scripts.size(), 2);
    EXPECT_EQ(page.scripts[0], R"(Q.router.navigate("/accounts/login/", true))");
    // A quote in the path stays inside the string.
    EXPECT_EQ(page.scripts[1], R"(Q.router.navigate("/search/it's'); alert('x", true))");
}

TEST(QVPageCommands, BodyClasses)
{
    QVFakeWebView page;
    QVSetPageInactive(&page, true);
    QVSetPageInactive(&page, false);
    QVSetPageFullScreen(&page, true, false);
    QVSetPageFullScreen(&page, false, false);
    QVSetPageFullScreen(&page, true, true); // modern systems: nothing
    EXPECT_EQ(page.scripts,
        (QStringList { "$('body').addClass('inactive');", "$('body').removeClass('inactive');",
            "$('body').addClass('fullscreen');", "$('body').removeClass('fullscreen');" }));
}

TEST(QVPageCommands, PlayingTrackFieldIsGuarded)
{
    QVFakeWebView page;
    EXPECT_EQ(QVPlayingTrackFloatValue(&page, QStringLiteral("duration")), 0.0f);
    EXPECT_EQ(page.scripts, QStringList { "Q.player != null" }); // stops at the first guard

    page.scripts.clear();
    page.answers.insert("Q.player != null", "true");
    EXPECT_EQ(QVPlayingTrackFloatValue(&page, QStringLiteral("duration")), 0.0f);
    EXPECT_EQ(page.scripts, (QStringList { "Q.player != null", "Q.player.playingTrack() != null" }));

    page.scripts.clear();
    page.answers.insert("Q.player.playingTrack() != null", "true");
    page.answers.insert(R"(Q.player.playingTrack().get("duration"))", "212.5");
    EXPECT_FLOAT_EQ(QVPlayingTrackFloatValue(&page, QStringLiteral("duration")), 212.5f);
    EXPECT_EQ(page.scripts.last(), R"(Q.player.playingTrack().get("duration"))");
}

TEST(QVPageCommands, TypedReadsConvertThePageText)
{
    QVFakeWebView page;
    page.answers = { { "a", "42.9" }, { "b", "-7px" }, { "c", "true" }, { "d", "1e+21" }, { "e", "false" } };
    EXPECT_EQ(page.javascriptIntValue("a"), 42);
    EXPECT_EQ(page.javascriptIntValue("b"), -7);
    EXPECT_FLOAT_EQ(page.javascriptFloatValue("d"), 1e21f);
    EXPECT_TRUE(page.javascriptBoolValue("c"));
    EXPECT_FALSE(page.javascriptBoolValue("e"));
    // A script that throws reads as "": 0, 0.0 and NO.
    EXPECT_EQ(page.javascriptIntValue("throws"), 0);
    EXPECT_EQ(page.javascriptFloatValue("throws"), 0.0f);
    EXPECT_FALSE(page.javascriptBoolValue("throws"));
    EXPECT_EQ(page.javascriptStringValue("throws"), "");
}

TEST(QVPageCommands, DomSearchPassesItsArgumentsAsLiterals)
{
    QVFakeWebView page;
    EXPECT_FALSE(page.firstDomNodeForClass(QStringLiteral("x\"); evil(); (\"")).has_value());
    ASSERT_EQ(page.scripts.size(), 1);
    EXPECT_TRUE(page.scripts[0].endsWith(R"(("class", "x\"); evil(); (\""))"));
}
