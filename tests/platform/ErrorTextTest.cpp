#include "platform/ErrorText.h"
#include "platform/LastError.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ErrorText, SystemTextWithoutLineBreakThenTheNumberInLowerCaseHex) {
    struct Case {
        DWORD error;
        std::u16string text;
    };
    const Case cases[] = {
        {ERROR_ACCESS_DENIED, u"Access is denied. (0x5)"},
        {ERROR_SERVICE_EXISTS, u"The specified service already exists. (0x431)"},
        {RPC_S_SERVER_UNAVAILABLE, u"The RPC server is unavailable. (0x6ba)"},
    };
    for (const Case& c : cases) {
        WCHAR buffer[256];
        SetLastError(c.error);
        EXPECT_EQ(platform::FormatLastErrorText(buffer, 256), buffer);
        EXPECT_EQ(std::u16string(buffer), c.text);
    }
}

TEST(ErrorText, EmptyForAnUnknownNumberOrNoError) {
    WCHAR buffer[256] = u"stale";
    SetLastError(0x800706BA);
    EXPECT_EQ(std::u16string(platform::FormatLastErrorText(buffer, 256)), u"");
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(platform::FormatLastErrorText(buffer, 256)),
              u"The operation completed successfully. (0x0)");
}

TEST(ErrorText, TheFourteenCharacterRuleDecidesWhetherATextIsShown) {
    // "Access is denied.\r\n" is 19 characters: it needs a capacity of 33.
    WCHAR buffer[40];
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::u16string(platform::FormatLastErrorText(buffer, 33)), u"Access is denied. (0x5)");
    EXPECT_EQ(std::u16string(platform::FormatLastErrorText(buffer, 32)), u"");
}

TEST(ErrorText, AnEightDigitNumberStillFitsAtTheSmallestAcceptedCapacity) {
    // 10 characters of text + CR LF = 12; + 14 = 26. The line "0123456789 (0x800706ba)" needs 24
    // characters with its NUL; nothing beyond the capacity may change.
    const std::u16string systemText = u"0123456789\r\n";
    WCHAR buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    platform::ComposeErrorText(buffer, 26, systemText, 0x800706BA);
    EXPECT_EQ(std::u16string(buffer), u"0123456789 (0x800706ba)");
    EXPECT_EQ(buffer[26], u'#');
    platform::ComposeErrorText(buffer, 25, systemText, 0x800706BA);
    EXPECT_EQ(buffer[0], 0);
}

TEST(ErrorText, ATextWithoutLineBreakKeepsItsCharacters) {
    WCHAR buffer[64];
    platform::ComposeErrorText(buffer, 64, u"No line end", 2);
    EXPECT_EQ(std::u16string(buffer), u"No line end (0x2)");
    platform::ComposeErrorText(buffer, 64, u"", 2);
    EXPECT_EQ(buffer[0], 0);
}

} // namespace
