#include "QVScriptValue.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QVariantMap>

#include <limits>

// The common cases are read from a real page in the integration suite; these
// are the edges of the engine's number format and the types it can hand back.
TEST(QVScriptValue, ValuesReadAsTheEngineWritesThem)
{
    const std::pair<double, const char*> numbers[] = {
        { 0.1 + 0.2, "0.30000000000000004" }, // shortest round trip
        { 123456789012345680000.0, "123456789012345680000" }, // below 1e21: no exponent
        { -1.5e300, "-1.5e+300" },
        { 0.000001, "0.000001" }, // 1e-6 itself: no exponent yet
        { 5e-324, "5e-324" },
        { std::numeric_limits<double>::quiet_NaN(), "" },
    };
    for (const auto& [number, text] : numbers)
        EXPECT_EQ(QVScriptValue::numberText(number), text) << text;

    const std::pair<QVariant, const char*> values[] = {
        { QVariant(false), "false" },
        { QVariant(qlonglong(1) << 53), "9007199254740992" },
        { QVariant::fromValue(nullptr), "" },
        { QVariantMap { { "a", 1 } }, "" },
        { QVariantList { 1, 2 }, "" },
    };
    for (const auto& [value, text] : values)
        EXPECT_EQ(QVScriptValue::textFromVariant(value), text) << text;
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
