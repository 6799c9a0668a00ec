// The three paths of a deployment and their 1024-character limit: a path that does not fit is
// refused with an empty buffer, never cut short or written past the buffer.
#include "console/deploy/DeploymentPaths.h"
#include "console/deploy/DeploymentNames.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>

namespace {

using deploy::kPathCapacity;

using PathBuilder = std::function<DWORD(std::u16string_view, LPWSTR, DWORD)>;

struct PathCase {
    const char* name;
    PathBuilder build;
    std::u16string input;
    std::u16string expected;
};

class DeploymentPaths : public testing::TestWithParam<PathCase> {};

TEST_P(DeploymentPaths, BuildsThePath) {
    WCHAR buffer[kPathCapacity];
    ASSERT_EQ(GetParam().build(GetParam().input, buffer, kPathCapacity), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(buffer), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeploymentPaths,
    testing::Values(
        PathCase{"ServiceProgram", deploy::BuildServiceProgramPath, u"C:\\WINNT", u"C:\\WINNT\\VtarnSvc.exe"},
        PathCase{"CopyDestination", deploy::BuildCopyDestination, u"NODE1",
                 u"\\\\NODE1\\VTARN$\\VtarnSvc.exe"},
        PathCase{"SourceBesideTheProgram", deploy::BuildCopySource, u"Z:\\work\\build\\bin\\vtarn",
                 u"Z:\\work\\build\\bin\\VtarnSvc.exe"},
        PathCase{"SourceInADriveRoot", deploy::BuildCopySource, u"C:\\vtarn.exe", u"C:\\VtarnSvc.exe"},
        // Cut after the last backslash only: a dot in a folder name stays.
        PathCase{"SourceAfterTheLastBackslash", deploy::BuildCopySource, u"C:\\Tarn 1.0\\bin.x\\vtarn",
                 u"C:\\Tarn 1.0\\bin.x\\VtarnSvc.exe"},
        PathCase{"SourceWithoutADirectory", deploy::BuildCopySource, u"vtarn", u"VtarnSvc.exe"}),
    [](const testing::TestParamInfo<PathCase>& param) { return param.param.name; });

// Each builder with the longest input that fits and one character more. The buffer is followed
// by guard characters that must stay untouched.
struct LimitCase {
    const char* name;
    PathBuilder build;
    std::size_t fixedLength; // the characters the builder adds to its input
};

class DeploymentPathLimits : public testing::TestWithParam<LimitCase> {};

TEST_P(DeploymentPathLimits, RefusesAPathBeyondTheBufferWithoutCuttingOrOverrunning) {
    constexpr WCHAR kGuard = u'#';
    std::array<WCHAR, kPathCapacity + 16> storage;
    const std::size_t longestInput = kPathCapacity - 1 - GetParam().fixedLength;

    storage.fill(kGuard);
    const std::u16string fits(longestInput, u'a');
    ASSERT_EQ(GetParam().build(fits, storage.data(), kPathCapacity), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(storage.data()).size(), kPathCapacity - 1);

    storage.fill(kGuard);
    const std::u16string tooLong(longestInput + 1, u'a');
    EXPECT_EQ(GetParam().build(tooLong, storage.data(), kPathCapacity), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(storage[0], 0);
    EXPECT_TRUE(
        std::all_of(storage.begin() + kPathCapacity, storage.end(), [](WCHAR c) { return c == kGuard; }));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeploymentPathLimits,
    testing::Values(LimitCase{"ServiceProgram", deploy::BuildServiceProgramPath,
                              std::u16string_view(u"\\VtarnSvc.exe").size()},
                    LimitCase{"CopyDestination", deploy::BuildCopyDestination,
                              std::u16string_view(u"\\\\\\VTARN$\\VtarnSvc.exe").size()},
                    // The input's directory is kept whole: "aaa...\" + "VtarnSvc.exe".
                    LimitCase{"CopySource",
                              [](std::u16string_view directory, LPWSTR buffer, DWORD capacity) {
                                  return deploy::BuildCopySource(std::u16string(directory) + u"\\vtarn",
                                                                 buffer, capacity);
                              },
                              std::u16string_view(u"\\VtarnSvc.exe").size()}),
    [](const testing::TestParamInfo<LimitCase>& param) { return param.param.name; });

} // namespace
