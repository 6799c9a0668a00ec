#include "agent/include/ResultRecordReader.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

using namespace resultrecord;

namespace {

constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

// Every table row has a name, shown in the test's name and in failure messages.
template <typename Case> std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// The length a case searches: the whole text (which has no terminator) or a shorter limit.
std::size_t LengthOf(const std::u16string& text, std::size_t length) {
    return length == kWhole ? text.size() : length;
}

struct FindCase {
    const char* name;
    std::u16string_view text;
    std::size_t length;
    std::u16string_view key;
    std::optional<std::size_t> expected;
};

class FindInLinesTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindInLinesTest, FindsKeyInsideOneLineWithinLength) {
    const FindCase& c = GetParam();
    std::u16string text(c.text);
    EXPECT_EQ(FindInLines(text.data(), LengthOf(text, c.length), c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ResultRecordReader, FindInLinesTest,
    testing::Values(
        FindCase{"KeyInsideLongerToken", u"TTD|Detect: X||TTADRV|Check driver.", kWhole, u"TADRV|", 16},
        FindCase{"SecondOfNulSeparatedLines", std::u16string_view(u"abc\0TTP|", 8), kWhole, u"TTP|", 4},
        FindCase{"SecondOfCrSeparatedLines", u"abc\r\nTTP|", kWhole, u"TTP|", 5},
        FindCase{"FirstOccurrenceWins", u"|TP0|x|TP0|", kWhole, u"TP0|", 1},
        FindCase{"KeyAcrossNulIsNotFound", std::u16string_view(u"xTT\0P|", 6), kWhole, u"TTP|", std::nullopt},
        FindCase{"KeyStraddlingLengthIsNotFound", u"xxTTP|", 5, u"TTP|", std::nullopt},
        FindCase{"KeyEndingAtLengthIsFound", u"xxTTP|yy", 6, u"TTP|", 2},
        FindCase{"KeyBeyondLengthIsNotFound", u"xxxxTTP|", 4, u"TTP|", std::nullopt},
        FindCase{"AbsentKey", u"TTD|x|TTP|", kWhole, u"TTF|", std::nullopt},
        FindCase{"EmptyKeyIsNeverFound", u"TTD|x", kWhole, u"", std::nullopt},
        FindCase{"ZeroLength", u"TTP|", 0, u"TTP|", std::nullopt}),
    CaseName<FindCase>);

TEST(ResultRecordReader, TurnsCarriageReturnsIntoNulOnlyWithinLength) {
    std::u16string text = u"A\rB|C\rD";
    EXPECT_EQ(FindInLines(text.data(), 4, u"B|"), 2u);
    EXPECT_EQ(text[1], u'\0');
    EXPECT_EQ(text[5], u'\r');
}

struct ValueCase {
    const char* name;
    std::u16string_view text;
    std::size_t length;
    std::u16string_view key;
    std::u16string expected;
};

class ExtractTokenValueTest : public testing::TestWithParam<ValueCase> {};

TEST_P(ExtractTokenValueTest, ReadsBlankThenTextUpToSeparator) {
    const ValueCase& c = GetParam();
    std::u16string text(c.text);
    EXPECT_EQ(ExtractTokenValue(text.data(), LengthOf(text, c.length), c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ResultRecordReader, ExtractTokenValueTest,
    testing::Values(
        ValueCase{"Message", u"TTD|Detect: Alpha|MSP|Alpha  located in slot number(s): 3|TTP|", kWhole,
                  u"MSP|", u" Alpha  located in slot number(s): 3"},
        ValueCase{"ValueInsideLongerToken", u"TTD|x||TTADRV|Check driver.|MAPDRV|v", kWhole, u"TADRV|",
                  u" Check driver."},
        ValueCase{"AbsentKeyIsEmpty", u"TTD|x|TTP|", kWhole, u"MSF|", u""},
        ValueCase{"PresentEmptyValueIsOneBlank", u"TTD|x|TTP||MSP|y", kWhole, u"TTP|", u" "},
        ValueCase{"KeyAtEndOfLength", u"TTD|x|TTP|", kWhole, u"TTP|", u" "},
        ValueCase{"CountWithoutClosingSeparator", u"||NDRV|2|*|TTARRT0|Perform", kWhole, u"NDRV|", u" 2"},
        ValueCase{"RunsAcrossCrLfLineEnd", u"MSF|first\r\nsecond|TTF|", kWhole, u"MSF|", u" first\nsecond"},
        ValueCase{"RunsAcrossNul", std::u16string_view(u"MSF|ab\0\0cd|TTF|", 15), kWhole, u"MSF|", u" abcd"},
        ValueCase{"StopsAtLength", u"MSP|abcdef|", 7, u"MSP|", u" abc"},
        ValueCase{"ValueRunsToEndOfText", u"MSP|abc", kWhole, u"MSP|", u" abc"}),
    CaseName<ValueCase>);

TEST(ResultRecordReader, KeepsValueOfMaximumLengthWhole) {
    const std::u16string value(kMaxValueLength, u'v');
    std::u16string text = u"MSP|" + value + u"|TTP|";
    EXPECT_EQ(ExtractTokenValue(text.data(), text.size(), u"MSP|"), u" " + value);
}

TEST(ResultRecordReader, MarksCutOfOverlongValue) {
    std::u16string text = u"MSP|" + std::u16string(kMaxValueLength + 20, u'v') + u"|TTP|";
    const std::u16string value = ExtractTokenValue(text.data(), text.size(), u"MSP|");
    EXPECT_EQ(value, u" " + std::u16string(kMaxValueLength - 1, u'v') + kValueCutMark);
}

struct CountCase {
    const char* name;
    std::u16string_view text;
    std::u16string_view key;
    int expected;
};

class ReadCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(ReadCountTest, ReadsLeadingDigitsOfValue) {
    const CountCase& c = GetParam();
    std::u16string text(c.text);
    EXPECT_EQ(ReadCount(text.data(), text.size(), c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ResultRecordReader, ReadCountTest,
    testing::Values(CountCase{"ClosedCount", u"|TAPSD1||NSDRV|2||TTPTD|", u"NSDRV|", 2},
                    CountCase{"CountFollowedByNextItem", u"||NDRV|12|*|TTARRT0|Perform", u"NDRV|", 12},
                    CountCase{"GroupMarkedCount", u"|**|NUMSHRDRV|3|**|TESTARRT0|x", u"NUMSHRDRV|", 3},
                    CountCase{"TrailingTextAfterDigits", u"|NSDRV|4 drives|", u"NSDRV|", 4},
                    CountCase{"Absent", u"|TTPTD|", u"NSDRV|", 0},
                    CountCase{"Empty", u"|NSDRV||", u"NSDRV|", 0},
                    CountCase{"NonNumeric", u"|NSDRV|two|", u"NSDRV|", 0},
                    CountCase{"Negative", u"|NSDRV|-3|", u"NSDRV|", 0},
                    CountCase{"Overflowing", u"|NSDRV|99999999999999999999|", u"NSDRV|", 0},
                    CountCase{"LargerThanTheText", u"|NSDRV|50|", u"NSDRV|", 0}),
    CaseName<CountCase>);

TEST(ResultRecordReader, ContainsKeyTellsPresenceWithinLength) {
    std::u16string text = u"TTD|x|TFRM0|2.10|MAPSTO|y";
    EXPECT_TRUE(ContainsKey(text.data(), text.size(), u"|TFRM0"));
    EXPECT_FALSE(ContainsKey(text.data(), text.size(), u"|TFRM1"));
    EXPECT_FALSE(ContainsKey(text.data(), 8, u"|TFRM0"));
}

} // namespace
