// The failure lines: the system's text of the thread's last error as LastErrorText gives it,
// which is the platform's one error-text rule, and the last error left as it was.
#include "console/deploy/ProgressOutput.h"
#include "console/deploy/LastErrorText.h"
#include "platform/ErrorText.h"
#include "platform/LastError.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ErrorCase {
    DWORD error;
    DWORD capacity;
};

class LastErrorTextTest : public testing::TestWithParam<ErrorCase> {};

// LastErrorText is the platform's error text, unchanged, for texts that fit, texts that do not
// and errors without a text.
TEST_P(LastErrorTextTest, IsThePlatformsErrorText) {
    WCHAR expected[256] = u"x";
    WCHAR actual[256] = u"y";
    SetLastError(GetParam().error);
    platform::FormatLastErrorText(expected, GetParam().capacity);
    SetLastError(GetParam().error);
    EXPECT_EQ(deploy::LastErrorText(actual, GetParam().capacity), actual);
    EXPECT_EQ(std::u16string(actual), std::u16string(expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, LastErrorTextTest,
                         testing::Values(ErrorCase{ERROR_ACCESS_DENIED, 256},
                                         ErrorCase{ERROR_NETNAME_DELETED, 256},
                                         ErrorCase{ERROR_SERVICE_EXISTS, 256}, ErrorCase{0xDEAD, 256},
                                         // "Access is denied.\r\n" is 19 characters: 33 fits, 32 does not.
                                         ErrorCase{ERROR_ACCESS_DENIED, 33},
                                         ErrorCase{ERROR_ACCESS_DENIED, 32}));

struct FailureCase {
    DWORD error;
    std::string expected;
};

class FailureLine : public testing::TestWithParam<FailureCase> {};

TEST_P(FailureLine, NamesTheStepAndTheErrorAndKeepsTheLastError) {
    SetLastError(GetParam().error);
    testing::internal::CaptureStdout();
    deploy::WriteFailure(u"StartService failed - %s\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), GetParam().expected);
    EXPECT_EQ(GetLastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailureLine,
    testing::Values(FailureCase{ERROR_ACCESS_DENIED, "StartService failed - Access is denied. (0x5)\n"},
                    FailureCase{ERROR_SERVICE_EXISTS,
                                "StartService failed - The specified service already exists. (0x431)\n"},
                    // An error the system has no text for: the line ends right after "- ".
                    FailureCase{0xDEAD, "StartService failed - \n"}));

} // namespace
