#include "platform/FormatMessage.h"
#include "platform/LastError.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kAllocateFromSystem =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;

TEST(FormatMessage, AllocatesTheSystemTextWithItsLineBreak) {
    EXPECT_EQ(kAllocateFromSystem, 0x3100u);
    struct Case {
        DWORD error;
        std::u16string text;
    };
    const Case cases[] = {
        {ERROR_ACCESS_DENIED, u"Access is denied.\r\n"},
        {ERROR_SERVICE_DOES_NOT_EXIST, u"The specified service does not exist as an installed service.\r\n"},
        {RPC_S_SERVER_UNAVAILABLE, u"The RPC server is unavailable.\r\n"},
        {NERR_NetNameNotFound, u"This shared resource does not exist.\r\n"},
        {ERROR_BAD_DRIVER, u"The specified driver is invalid.\r\n"},
    };
    for (const Case& c : cases) {
        LPWSTR text = nullptr;
        SetLastError(c.error);
        const DWORD length = FormatMessageW(kAllocateFromSystem, nullptr, c.error, 0,
                                            reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::u16string(text, length), c.text);
        EXPECT_EQ(text[length], 0);
        EXPECT_EQ(GetLastError(), c.error); // success leaves the last error alone
        EXPECT_EQ(LocalFree(text), nullptr);
    }
}

TEST(FormatMessage, UnknownNumberFailsWithMessageNotFound) {
    LPWSTR text = reinterpret_cast<LPWSTR>(&text); // anything but null
    EXPECT_EQ(FormatMessageW(kAllocateFromSystem, nullptr, 0x800706BA, 0, reinterpret_cast<LPWSTR>(&text), 0,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(text, nullptr);
}

TEST(FormatMessage, CallerBufferMustHoldTextAndTerminator) {
    WCHAR buffer[20];
    // "Access is denied.\r\n" is 19 characters.
    EXPECT_EQ(
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 20, nullptr),
        19u);
    EXPECT_EQ(std::u16string(buffer), u"Access is denied.\r\n");
    EXPECT_EQ(
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 19, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(FormatMessage, FillsInsertsFromTheArgumentArray) {
    const WCHAR number[] = u"6BA";
    const WCHAR file[] = u"System";
    const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(number), reinterpret_cast<DWORD_PTR>(file)};
    LPWSTR text = nullptr;
    const DWORD length = FormatMessageW(kAllocateFromSystem, nullptr, ERROR_MR_MID_NOT_FOUND, 0,
                                        reinterpret_cast<LPWSTR>(&text), 0, arguments);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(
        std::u16string(text, length),
        u"The system cannot find message text for message number 0x6BA in the message file for System.\r\n");
    LocalFree(text);
}

TEST(FormatMessage, InsertsWithoutArgumentsFailUnlessIgnored) {
    LPWSTR text = nullptr;
    EXPECT_EQ(FormatMessageW(kAllocateFromSystem, nullptr, ERROR_MR_MID_NOT_FOUND, 0,
                             reinterpret_cast<LPWSTR>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(text, nullptr);

    const DWORD length =
        FormatMessageW(kAllocateFromSystem | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_MR_MID_NOT_FOUND,
                       0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, length),
              u"The system cannot find message text for message number 0x%1 in the message file for %2.\r\n");
    LocalFree(text);
}

TEST(FormatMessage, RefusesFlagsItDoesNotServe) {
    WCHAR buffer[64];
    const DWORD fromString = 0x00000400;
    EXPECT_EQ(FormatMessageW(fromString, u"text", 0, 0, buffer, 64, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    const DWORD_PTR arguments[] = {0};
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buffer, 64, arguments), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(FormatMessage, EveryTableTextIsASentenceOfPrintableAscii) {
#define TARN_ERROR(name, number, text)                                                                       \
    for (const char* c = text; *c != 0; ++c) {                                                               \
        EXPECT_TRUE(*c >= 0x20 && *c < 0x7F) << #name;                                                       \
    }                                                                                                        \
    EXPECT_NE(std::string(text).size(), 0u) << #name;
#include "platform/ErrorTable.inc"
#undef TARN_ERROR
}

} // namespace
