#include "platform/StringTable.h"
#include "platform/LastError.h"
#include "platform/WideString.h"
#include "platform/WinError.h"
#include "resources/agent/StringIds.h"
#include "tests/platform/StringIds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace strings = platform_test_strings;

std::u16string Load(HINSTANCE table, UINT id, int capacity = 256) {
    WCHAR buffer[256];
    const int length = LoadStringW(table, id, buffer, capacity);
    EXPECT_EQ(length, lstrlenW(buffer));
    return std::u16string(buffer, length);
}

TEST(StringTable, TextsComeBackExactlyAsWritten) {
    struct Case {
        UINT id;
        std::u16string text;
    };
    const Case cases[] = {
        {strings::kPlain, u"Veltra Tarn"},
        {strings::kBlanks, u"  two blanks each side  "},
        {strings::kQuotes, u"Cannot find the \" \"ipconfig\" \" command."},
        {strings::kBackslash, u"ERROR1\\"},
        {strings::kEscapes, u"tab\there\r\nnext line"},
        {strings::kNonAscii, u"\u30CB \u00C5 \U0001F600"},
        {strings::kHighest, u"x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Load(strings::Instance(), c.id), c.text) << c.id;
    }
}

TEST(StringTable, CopiesAtMostCapacityMinusOneAndTerminates) {
    WCHAR buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringW(strings::Instance(), strings::kPlain, buffer, 7), 6);
    EXPECT_EQ(std::u16string(buffer), u"Veltra");
    EXPECT_EQ(buffer[7], u'#');
    EXPECT_EQ(LoadStringW(strings::Instance(), strings::kPlain, buffer, 1), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST(StringTable, AbsentIdGivesZeroAndAnEmptyBuffer) {
    WCHAR buffer[16] = u"stale";
    SetLastError(0);
    EXPECT_EQ(LoadStringW(strings::Instance(), 7, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(buffer[0], 0);
}

TEST(StringTable, HandlesNameTheirTableAndBadArgumentsFail) {
    WCHAR buffer[16];
    // This program links two tables, so a null handle does not say which one is meant.
    EXPECT_EQ(LoadStringW(nullptr, strings::kPlain, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    int unrelated = 0;
    EXPECT_EQ(LoadStringW(&unrelated, strings::kPlain, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LoadStringW(strings::Instance(), strings::kPlain, buffer, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(LoadStringW(strings::Instance(), strings::kPlain, nullptr, 16), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(StringTable, AgentTableHoldsItsTextsWithTheirBlanks) {
    const HINSTANCE agent = agent_strings::Instance();
    EXPECT_EQ(Load(agent, agent_strings::kDetectShareDrive), u"On Node 2, detect share drive  ");
    EXPECT_EQ(Load(agent, agent_strings::kMustBeNtfs), u" .  The file system type must be NTFS.");
    EXPECT_EQ(Load(agent, agent_strings::kReserveReleaseTest),
              u"Perform SCSI Reserve/Release test on Physical Drive  ");
    // The non-NTFS marker is read with a capacity of 8: exactly its seven characters.
    EXPECT_EQ(Load(agent, agent_strings::kNotNtfsMarker, 8), u"ERROR1\\");
    EXPECT_EQ(agent_strings::kTcpIpNotRunning, 10u);
    EXPECT_EQ(agent_strings::kDetected, 94u);
}

} // namespace
