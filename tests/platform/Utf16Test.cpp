#include "platform/Utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf16, ConvertsBothWaysIncludingCharactersBeyondTheBmp) {
    // "Å", "€" and U+1F600 (a surrogate pair in UTF-16) next to ASCII.
    const std::string utf8 = "A\xC3\x85\xE2\x82\xAC\xF0\x9F\x98\x80z";
    const std::u16string utf16 = u"A\u00C5\u20AC\U0001F600z";
    EXPECT_EQ(platform::Utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(platform::Utf16ToUtf8(utf16), utf8);
    EXPECT_EQ(platform::Utf8ToUtf16(""), u"");
}

TEST(Utf16, MalformedUtf8GivesNoText) {
    const char* const cases[] = {
        "\x80",             // continuation byte without a lead
        "ab\xC3",           // sequence cut off at the end
        "\xC3\x28",         // lead followed by a non-continuation byte
        "\xC0\xAF",         // over-long encoding of '/'
        "\xED\xA0\x80",     // an encoded surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xFF",             // not a lead byte at all
    };
    for (const char* input : cases) {
        EXPECT_EQ(platform::Utf8ToUtf16(input), std::nullopt) << testing::PrintToString(input);
    }
}

TEST(Utf16, UnpairedSurrogatesGiveNoUtf8) {
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, u'\xD83D')), std::nullopt);
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(u"a") + u'\xDE00' + u"b"), std::nullopt);
}

} // namespace
