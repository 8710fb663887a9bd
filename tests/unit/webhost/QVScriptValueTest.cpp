#include "QVScriptValue.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QVariantMap>

#include <cmath>
#include <limits>

using QVScriptValue::numberText;
using QVScriptValue::textFromVariant;

TEST(QVScriptValue, NumbersReadAsTheEngineWritesThem)
{
    EXPECT_EQ(numberText(42.9), "42.9");
    EXPECT_EQ(numberText(-7), "-7");
    EXPECT_EQ(numberText(100), "100");
    EXPECT_EQ(numberText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(numberText(-0.0), "0");
    EXPECT_EQ(numberText(9007199254740994.0), "9007199254740994"); // 2^53 + 2
    EXPECT_EQ(numberText(123456789012345680000.0), "123456789012345680000");
    EXPECT_EQ(numberText(1e21), "1e+21");
    EXPECT_EQ(numberText(-1.5e300), "-1.5e+300");
    EXPECT_EQ(numberText(0.000001), "0.000001");
    EXPECT_EQ(numberText(1.5e-7), "1.5e-7");
    EXPECT_EQ(numberText(5e-324), "5e-324");
    EXPECT_EQ(numberText(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(numberText(std::numeric_limits<double>::infinity()), "");
}

TEST(QVScriptValue, CompletionValuesBecomeText)
{
    EXPECT_EQ(textFromVariant(QVariant(QStringLiteral("abc"))), "abc");
    EXPECT_EQ(textFromVariant(QVariant(true)), "true");
    EXPECT_EQ(textFromVariant(QVariant(false)), "false");
    EXPECT_EQ(textFromVariant(QVariant(42)), "42");
    EXPECT_EQ(textFromVariant(QVariant(2.5)), "2.5");
    EXPECT_EQ(textFromVariant(QVariant(qlonglong(1) << 53)), "9007199254740992");
    EXPECT_EQ(textFromVariant(QVariant()), "");
    EXPECT_EQ(textFromVariant(QVariant::fromValue(nullptr)), "");
    EXPECT_EQ(textFromVariant(QVariantMap { { "a", 1 } }), "");
    EXPECT_EQ(textFromVariant(QVariantList { 1, 2 }), "");
}

TEST(QVScriptValue, LiteralsCannotBreakOutOfAScript)
{
    const QString hostile = QStringLiteral("it's \"quoted\"\\ \n</script>") + QChar(0x2028) + QChar(0x2029);
    const QString literal = QVScriptValue::literal(hostile);
    EXPECT_TRUE(literal.startsWith('"') && literal.endsWith('"'));
    EXPECT_FALSE(literal.contains('\n'));
    EXPECT_FALSE(literal.contains(QChar(0x2028)));
    EXPECT_FALSE(literal.contains(QChar(0x2029)));
    // As JSON (a subset of JavaScript's literals) it reads back unchanged.
    const QJsonDocument back = QJsonDocument::fromJson(("[" + literal + "]").toUtf8());
    ASSERT_TRUE(back.isArray());
    EXPECT_EQ(back.array().at(0).toString(), hostile);
}
