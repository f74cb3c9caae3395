#include <gtest/gtest.h>

#include <algorithm>

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

// GetModuleFileName's way with a short buffer: the path cut to fit, its length the buffer's.
TEST(TextHelpers, AGrowingBufferTakesAPathLongerThanMaxPathWhole) {
    for (const std::size_t length : {0u, 10u, 260u, 261u, 262u, 1000u, 32767u}) {
        const std::string path(length, 'p');
        const BufferFiller moduleFileName = [&](char* buffer, std::size_t size) {
            const std::size_t copied = std::min(path.size(), size - 1);
            std::copy_n(path.data(), copied, buffer);
            buffer[copied] = '\0';
            return path.size() < size ? path.size() : size;
        };
        EXPECT_EQ(growingbuffertext(moduleFileName), path) << length;
    }
    EXPECT_EQ(growingbuffertext([](char*, std::size_t) { return std::size_t{0}; }), "") << "a failed call";
}

// The conversions the program's messages use, through the system's formatter
// on Windows and the C library's natively; a text longer than any buffer is
// kept whole.
TEST(TextHelpers, FormatMakesTheProgramsMessagesWhole) {
    EXPECT_EQ(format("List index out of bounds (%ld)", -1L), "List index out of bounds (-1)");
    EXPECT_EQ(format("Win32 Error.  Code: %lu.\n%s", 4294967295UL, "x"), "Win32 Error.  Code: 4294967295.\nx");
    EXPECT_EQ(format("It is longer than %u characters.", 259u), "It is longer than 259 characters.");
    EXPECT_EQ(format("%s: can't start DNS lookup, error #%d", "host", -10060),
              "host: can't start DNS lookup, error #-10060");
    EXPECT_EQ(format("100%%"), "100%");
    EXPECT_EQ(format("%s", ""), "");
    const std::string longText(3000, 'q');
    EXPECT_EQ(format("'%s' is not a valid integer value", longText.c_str()),
              "'" + longText + "' is not a valid integer value");
}
