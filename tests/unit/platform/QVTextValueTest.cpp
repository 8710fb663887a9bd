#include "QVTextValue.h"

#include <gtest/gtest.h>

#include <climits>

using namespace QVTextValue;

TEST(QVTextValue, IntegerPrefixWithSaturation)
{
    EXPECT_EQ(intValue("42.9"), 42);
    EXPECT_EQ(intValue("-7px"), -7);
    EXPECT_EQ(intValue("  +12"), 12);
    EXPECT_EQ(intValue("abc"), 0);
    EXPECT_EQ(intValue(""), 0);
    EXPECT_EQ(intValue("-"), 0);
    EXPECT_EQ(intValue("1e+21"), 1); // the engine's text of 1e21 has no integer prefix beyond 1
    EXPECT_EQ(intValue("2147483647"), INT_MAX);
    EXPECT_EQ(intValue("2147483648"), INT_MAX);
    EXPECT_EQ(intValue("-2147483648"), INT_MIN);
    EXPECT_EQ(intValue("-2147483649"), INT_MIN);
    EXPECT_EQ(intValue("9007199254740994"), INT_MAX);
    EXPECT_EQ(intValue("99999999999999999999999999"), INT_MAX);
}

TEST(QVTextValue, FloatPrefixIsDecimalOnly)
{
    EXPECT_FLOAT_EQ(floatValue("42.9"), 42.9f);
    EXPECT_FLOAT_EQ(floatValue(" -7px"), -7.0f);
    EXPECT_FLOAT_EQ(floatValue("1.5e-7"), 1.5e-7f);
    EXPECT_FLOAT_EQ(floatValue("1e+21"), 1e21f);
    EXPECT_FLOAT_EQ(floatValue(".5"), 0.5f);
    EXPECT_EQ(floatValue("abc"), 0.0f);
    EXPECT_EQ(floatValue(""), 0.0f);
    EXPECT_EQ(floatValue("0x10"), 0.0f); // not hexadecimal
    EXPECT_EQ(floatValue("inf"), 0.0f);
    EXPECT_EQ(floatValue("NaN"), 0.0f);
}

TEST(QVTextValue, FlagsReadLikeStoredText)
{
    EXPECT_TRUE(boolValue("true"));
    EXPECT_TRUE(boolValue("1"));
    EXPECT_TRUE(boolValue("3"));
    EXPECT_TRUE(boolValue(" YES"));
    EXPECT_TRUE(boolValue("-0007"));
    EXPECT_FALSE(boolValue("false"));
    EXPECT_FALSE(boolValue("0"));
    EXPECT_FALSE(boolValue("000"));
    EXPECT_FALSE(boolValue(""));
    EXPECT_FALSE(boolValue("no"));
    EXPECT_FALSE(boolValue("0.9")); // stops at the point, like the platform's reader
}
