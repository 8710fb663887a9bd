#include "QVTextValue.h"

#include <gtest/gtest.h>

#include <climits>

using namespace QVTextValue;

// The page's numbers arrive as text: read the leading number as the platform's
// readers do, saturating instead of overflowing.
TEST(QVTextValue, LeadingNumbersFlagsAndSaturation)
{
    const std::pair<const char*, int> ints[] = { { "42.9", 42 }, { "-7px", -7 }, { "  +12", 12 },
        { "abc", 0 }, { "-", 0 }, { "1e+21", 1 }, { "2147483647", INT_MAX }, { "2147483648", INT_MAX },
        { "-2147483648", INT_MIN }, { "-2147483649", INT_MIN }, { "99999999999999999999999999", INT_MAX } };
    for (const auto& [text, value] : ints)
        EXPECT_EQ(intValue(text), value) << text;

    const std::pair<const char*, float> floats[]
        = { { "42.9", 42.9f }, { " -7px", -7.0f }, { "1.5e-7", 1.5e-7f }, { "1e+21", 1e21f }, { ".5", 0.5f },
              { "", 0.0f }, { "0x10", 0.0f }, { "inf", 0.0f }, { "NaN", 0.0f } };
    for (const auto& [text, value] : floats)
        EXPECT_FLOAT_EQ(floatValue(text), value) << text;

    // Flags stop at the point, like the platform's reader: "0.9" is false.
    const std::pair<const char*, bool> flags[]
        = { { "true", true }, { "3", true }, { " YES", true }, { "-0007", true }, { "false", false },
              { "000", false }, { "", false }, { "no", false }, { "0.9", false } };
    for (const auto& [text, value] : flags)
        EXPECT_EQ(boolValue(text), value) << text;
}
