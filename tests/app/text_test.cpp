#include <gtest/gtest.h>

#include "base/error.h"
#include "base/text.h"

using namespace velmora;

TEST(StrToInt, AcceptsBlanksAndSignRejectsEverythingElse) {
    EXPECT_EQ(tryStrToInt("27960"), 27960);
    EXPECT_EQ(tryStrToInt("  -1"), -1);
    EXPECT_EQ(tryStrToInt("+5"), 5);
    EXPECT_EQ(tryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(tryStrToInt("-2147483648"), INT32_MIN);
    for (const char* bad : {"", " ", "-", "27960 ", "27960...", "2147483648", "-2147483649",
                            "99999999999999999999", "0x10", "1e3", "--1", "12a"})
        EXPECT_FALSE(tryStrToInt(bad).has_value()) << bad;
}

TEST(StrToInt, NotANumberRaisesTheRuntimeText) {
    try {
        strToInt("abc");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

TEST(TextHelpers, CaseMappingTouchesAsciiLettersOnly) {
    EXPECT_EQ(upperAscii("q3a-\xe4z"), "Q3A-\xe4Z");
    EXPECT_EQ(lowerAscii("DM6\xc4"), "dm6\xc4");
    EXPECT_EQ(trimControls(" \t\r\n a b \x01 "), "a b");
    EXPECT_EQ(trimControls("   "), "");
}
