#include "QVPageCommands.h"
#include "QVFakeWebView.h"
#include "QVScriptValue.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

TEST(QVPageCommands, TextFromOutsideStaysInsideItsLiteral)
{
    const QString hostile = QStringLiteral("it's \"quoted\"\\ \n</script>") + QChar(0x2028) + QChar(0x2029);
    const QString literal = QVScriptValue::literal(hostile);
    EXPECT_FALSE(
        literal.contains('\n') || literal.contains(QChar(0x2028)) || literal.contains(QChar(0x2029)));
    // As JSON (a subset of JavaScript's literals) it reads back unchanged.
    const QJsonDocument back = QJsonDocument::fromJson(("[" + literal + "]").toUtf8());
    ASSERT_TRUE(back.isArray());
    EXPECT_EQ(back.array().at(0).toString(), hostile);

    // The commands built from outside text use it.
    QVFakeWebView page;
    QVRouterNavigate(&page, hostile);
    EXPECT_FALSE(page.firstDomNodeForClass(hostile).has_value());
    ASSERT_EQ(page.scripts.size(), 2);
    EXPECT_TRUE(page.scripts[0].contains(literal));
    EXPECT_TRUE(page.scripts[1].contains(literal));
}
