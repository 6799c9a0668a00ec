#include "platform/WideFormat.h"
#include "platform/LastError.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::FormatString;
using platform::FormatText;

TEST(WideFormat, FormatsTheProgramsTexts) {
    const std::u16string display = u"Vtarn RPC Service";
    const WCHAR computer[] = u"NODE1";
    const DWORD error = 1060;
    struct Case {
        std::u16string actual;
        std::u16string expected;
    };
    const Case cases[] = {
        {FormatString(u"%s installed.\n", display), u"Vtarn RPC Service installed.\n"},
        {FormatString(u"%s (0x%x)", u"Access is denied.", 5u), u"Access is denied. (0x5)"},
        {FormatString(u"%s error: %d", u"VtarnService", error), u"VtarnService error: 1060"},
        {FormatString(u"%d.%d", 4, 0), u"4.0"},
        {FormatString(u"%c:", u'E'), u"E:"},
        {FormatString(u"\\\\%s\\%s\\%s.exe", computer, u"VTARN$", u"VtarnSvc"),
         u"\\\\NODE1\\VTARN$\\VtarnSvc.exe"},
        {FormatString(u"%02x|%02X|%4d|%-4d|%04d", 10, 171, 7, 7, -42), u"0a|AB|   7|7   |-042"},
        {FormatString(u"%u %lu %x", DWORD{0xFFFFFFFF}, 3u, 0x800706BAu), u"4294967295 3 800706ba"},
        {FormatString(u"%d", DWORD{0xFFFFFFFF}), u"-1"}, // a 32-bit argument prints as 32 bits
        {FormatString(u"%d %u", LONGLONG{-5000000000}, ULONGLONG{5000000000}), u"-5000000000 5000000000"},
        {FormatString(u"100%% [%s]", static_cast<const WCHAR*>(nullptr)), u"100% [(null)]"},
        {FormatString(u"[%6s][%-3s]", u"ab", u"ab"), u"[    ab][ab ]"},
        {FormatString(u"%s", u"\U0001F600 \u00E9"), u"\U0001F600 \u00E9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(WideFormat, BufferFormNeverWritesPastItsCapacity) {
    WCHAR buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    // "Stopping VtarnService." is 22 characters: it does not fit 10.
    SetLastError(0);
    EXPECT_EQ(FormatText(buffer, 10, u"Stopping %s.", u"VtarnService"), -1);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[10], u'#');
    // Exactly full: 9 characters and the NUL in 10.
    EXPECT_EQ(FormatText(buffer, 10, u"%s%d", u"abcdefgh", 9), 9);
    EXPECT_EQ(std::u16string(buffer), u"abcdefgh9");
    EXPECT_EQ(FormatText(buffer, 9, u"%s%d", u"abcdefgh", 9), -1);
    EXPECT_EQ(FormatText(buffer, 0, u""), -1);
    EXPECT_EQ(buffer[10], u'#');
}

TEST(WideFormat, RuntimeFormatIsCheckedAgainstItsArguments) {
    WCHAR buffer[64];
    EXPECT_EQ(FormatText(buffer, 64, platform::RuntimeFormat{u"%s %d"}, u"Page", 3), 6);
    EXPECT_EQ(std::u16string(buffer), u"Page 3");

    struct Case {
        const char16_t* format;
    };
    const Case mismatches[] = {{u"%d %d"}, {u"%s"}, {u"%s %d %d"}, {u"%s %q"}, {u"%s %"}, {u"%d %s"}};
    for (const Case& c : mismatches) {
        SetLastError(0);
        EXPECT_EQ(FormatText(buffer, 64, platform::RuntimeFormat{c.format}, u"Page", 3), -1)
            << testing::PrintToString(std::u16string(c.format));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(buffer[0], 0);
    }
}

} // namespace
