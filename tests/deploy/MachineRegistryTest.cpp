// ReadMachineRegistryValue on another computer and on this one (the lab's workstation): the
// value and its size as RegQueryValueExW gives them, and the failing step's status as the last
// error.
#include "console/deploy/MachineRegistry.h"
#include "DeploymentLab.h"
#include "platform/LastError.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using deploytest::DeploymentLab;

const WCHAR kCurrentVersion[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr DWORD kWinntBytes = sizeof(u"C:\\WINNT"); // the text and its NUL

struct RegistryCase {
    const char* name;
    const WCHAR* computer;
    const WCHAR* subKey;
    const WCHAR* valueName;
    DWORD capacity;
    DWORD expectedError; // 0: read
    DWORD expectedSize;
};

class MachineRegistry : public DeploymentLab, public testing::WithParamInterface<RegistryCase> {
protected:
    MachineRegistry() { m_nodes.Start("ADMINWS"); }
};

TEST_P(MachineRegistry, ReadsOneValueOrGivesTheFailingStepsStatus) {
    const RegistryCase& test = GetParam();
    WCHAR data[64] = {};
    DWORD size = test.capacity;
    SetLastError(0);
    const bool read = deploy::ReadMachineRegistryValue(test.computer, test.subKey, test.valueName,
                                                       reinterpret_cast<LPBYTE>(data), &size);
    EXPECT_EQ(read, test.expectedError == ERROR_SUCCESS);
    EXPECT_EQ(size, test.expectedSize);
    if (read) {
        EXPECT_EQ(std::u16string(data), u"C:\\WINNT");
    } else {
        EXPECT_EQ(GetLastError(), test.expectedError);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MachineRegistry,
                         testing::Values(RegistryCase{"OtherComputer", u"NODE1", kCurrentVersion,
                                                      u"SystemRoot", sizeof(WCHAR[64]), ERROR_SUCCESS,
                                                      kWinntBytes},
                                         RegistryCase{"ThisComputer", nullptr, kCurrentVersion, u"SystemRoot",
                                                      sizeof(WCHAR[64]), ERROR_SUCCESS, kWinntBytes},
                                         // The size needed comes back with the refusal.
                                         RegistryCase{"BufferTooSmall", u"NODE1", kCurrentVersion,
                                                      u"SystemRoot", 4, ERROR_MORE_DATA, kWinntBytes},
                                         RegistryCase{"NoSuchValue", u"NODE1", kCurrentVersion,
                                                      u"NoSuchValue", 8, ERROR_FILE_NOT_FOUND, 8},
                                         RegistryCase{"NoSuchKey", u"NODE1", u"SOFTWARE\\NoSuchKey",
                                                      u"SystemRoot", 8, ERROR_FILE_NOT_FOUND, 8},
                                         RegistryCase{"NoSuchComputer", u"NOSUCH", kCurrentVersion,
                                                      u"SystemRoot", 8, ERROR_BAD_NETPATH, 8}),
                         [](const testing::TestParamInfo<RegistryCase>& param) { return param.param.name; });

} // namespace
