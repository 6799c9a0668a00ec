// NT paths of a simulated computer: parsing, the drives behind them, and the host drive.
#include "platform/NtPath.h"
#include "platform/WinError.h"
#include "tests/lab/support/TempLab.h"

#include <gtest/gtest.h>

namespace {

using platform::NtPathParts;

struct ParseCase {
    std::u16string_view input;
    DWORD status;
    std::u16string_view formatted; // after normalisation
};

const ParseCase kParseCases[] = {
    {u"C:\\WINNT\\system32", ERROR_SUCCESS, u"C:\\WINNT\\system32"},
    {u"c:/winnt/./x/../y", ERROR_SUCCESS, u"C:\\winnt\\y"},
    {u"C:\\..\\..\\etc\\passwd", ERROR_SUCCESS, u"C:\\etc\\passwd"}, // never above the root
    {u"C:", ERROR_SUCCESS, u"C:\\"},
    {u"\\\\NODE1\\VTARN$\\VtarnSvc.exe", ERROR_SUCCESS, u"\\\\NODE1\\VTARN$\\VtarnSvc.exe"},
    {u"\\\\NODE1\\VTARN$\\..\\..\\x", ERROR_SUCCESS, u"\\\\NODE1\\VTARN$\\x"}, // never above the share
    {u"\\\\NODE1", ERROR_BAD_NETPATH, u""},
    {u"\\\\NODE1\\", ERROR_BAD_NETPATH, u""},
    {u"\\\\.\\scsi0:", ERROR_INVALID_NAME, u""},
    {u"C:\\a<b", ERROR_INVALID_NAME, u""},
    {u"C:\\a\tb", ERROR_INVALID_NAME, u""},
    {u"relative\\path", ERROR_INVALID_NAME, u""},
    {u"C:relative", ERROR_INVALID_NAME, u""},
};

TEST(NtPath, ParsesAndNormalises) {
    for (const ParseCase& c : kParseCases) {
        NtPathParts parts;
        DWORD status = platform::ParseNtPath(c.input, parts);
        std::string input(c.input.begin(), c.input.end());
        EXPECT_EQ(status, c.status) << input;
        if (status == ERROR_SUCCESS) {
            EXPECT_TRUE(platform::FormatNtPath(parts) == c.formatted) << input;
        }
    }
    NtPathParts parts;
    EXPECT_EQ(platform::ParseNtPath(std::u16string(platform::kMaxNtPath + 1, u'a'), parts), ERROR_FILENAME_EXCED_RANGE);
}

TEST(NtPath, DrivesAreFoldersOfTheComputerAndTheRestIsTheHostDrive) {
    labtest::TempLab lab;
    std::filesystem::path computer = lab.Folder() / "NODE1";
    std::filesystem::create_directories(computer / "drives/C/WINNT/System32");
    platform::DriveMap drives(computer);

    NtPathParts parts;
    std::filesystem::path linux;
    ASSERT_EQ(platform::ParseNtPath(u"C:\\winnt\\SYSTEM32\\ping.exe", parts), ERROR_SUCCESS);
    ASSERT_EQ(drives.ToLinux(parts, linux), ERROR_SUCCESS);
    EXPECT_EQ(linux, computer / "drives/C/WINNT/System32/ping.exe"); // existing names found ignoring case

    ASSERT_EQ(platform::ParseNtPath(u"D:\\x", parts), ERROR_SUCCESS);
    EXPECT_EQ(drives.ToLinux(parts, linux), ERROR_INVALID_DRIVE);

    ASSERT_EQ(platform::ParseNtPath(u"Z:\\usr\\bin", parts), ERROR_SUCCESS);
    ASSERT_EQ(drives.ToLinux(parts, linux), ERROR_SUCCESS);
    EXPECT_EQ(linux, std::filesystem::path("/usr/bin"));

    EXPECT_TRUE(drives.ToNt(computer / "drives/C/WINNT/VtarnSvc.exe") == u"C:\\WINNT\\VtarnSvc.exe");
    EXPECT_TRUE(drives.ToNt(computer / "drives/C") == u"C:\\");
    EXPECT_TRUE(drives.ToNt("/work/build/bin/vtarn") == u"Z:\\work\\build\\bin\\vtarn");
    EXPECT_TRUE(platform::DriveMap({}).ToNt(computer / "drives/C/x").starts_with(u"Z:\\")); // no computer
}

TEST(NtPath, RelativePathsStartAtTheCurrentFolder) {
    labtest::TempLab lab;
    std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(lab.Folder());
    platform::DriveMap host({});
    NtPathParts parts;
    std::filesystem::path linux;
    EXPECT_EQ(host.ResolveLocal(u"sub\\file.txt", parts, linux), ERROR_SUCCESS);
    std::filesystem::current_path(saved);
    EXPECT_EQ(linux, std::filesystem::canonical(lab.Folder()) / "sub/file.txt");
}

} // namespace
