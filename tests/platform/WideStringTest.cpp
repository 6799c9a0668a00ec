#include "platform/WideString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WideString, CopyAndAppendStopAtTheCapacityAndReportIt) {
    WCHAR buffer[8];
    WCHAR* const guard = buffer + 6; // capacity 6 is passed; buffer[6] must never change
    buffer[6] = u'#';
    EXPECT_TRUE(platform::CopyText(buffer, 6, u"abc"));
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_TRUE(platform::AppendText(buffer, 6, u"de"));
    EXPECT_EQ(std::u16string(buffer), u"abcde");
    EXPECT_FALSE(platform::AppendText(buffer, 6, u"f"));
    EXPECT_EQ(std::u16string(buffer), u"abcde");
    EXPECT_FALSE(platform::CopyText(buffer, 6, u"0123456789"));
    EXPECT_EQ(std::u16string(buffer), u"01234");
    EXPECT_EQ(*guard, u'#');
}

TEST(WideString, TruncationNeverSplitsASurrogatePair) {
    WCHAR buffer[4];
    EXPECT_FALSE(platform::CopyText(buffer, 4, u"ab\U0001F600"));
    EXPECT_EQ(std::u16string(buffer), u"ab");
}

TEST(WideString, AppendRefusesABufferWithoutTerminator) {
    WCHAR buffer[3] = {u'x', u'y', u'z'};
    EXPECT_FALSE(platform::AppendText(buffer, 3, u"a"));
    EXPECT_EQ(buffer[2], u'z');
    EXPECT_EQ(platform::BoundedLength(buffer, 3), 3u);
}

TEST(WideString, LengthAndCaseInsensitiveCompare) {
    EXPECT_EQ(lstrlenW(u"install"), 7);
    EXPECT_EQ(lstrlenW(nullptr), 0);

    struct Case {
        const char16_t* first;
        const char16_t* second;
        int sign;
    };
    const Case cases[] = {
        {u"INSTALL", u"install", 0},
        {u"Remove", u"rEMOVE", 0},
        {u"debug", u"debugx", -1},
        {u"b", u"A", 1},
        {u"", u"", 0},
        {u"\u00C4", u"\u00E4", -1}, // only ASCII folds
        {nullptr, u"a", -1},
        {nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        const int result = lstrcmpiW(c.first, c.second);
        EXPECT_EQ((result > 0) - (result < 0), c.sign);
    }
}

} // namespace
