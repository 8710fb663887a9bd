#include "QVPageCommands.h"
#include "QVFakeWebView.h"

#include <gtest/gtest.h>

TEST(QVPageCommands, TextFromOutsideStaysInsideItsLiteral)
{
    QVFakeWebView page;
    QVRouterNavigate(&page, QStringLiteral("/search/it\"s'); alert('x"));
    EXPECT_FALSE(page.firstDomNodeForClass(QStringLiteral("x\"); alert(); (\"")).has_value());
    ASSERT_EQ(page.scripts.size(), 2);
    EXPECT_TRUE(page.scripts[0].contains(R"("/search/it\"s'); alert('x")"));
    EXPECT_TRUE(page.scripts[1].contains(R"("x\"); alert(); (\"")"));
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
}
