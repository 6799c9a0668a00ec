#pragma once
// NT paths of a simulated computer and the Linux files behind them.
//
// Each drive of a computer is a folder of its own, <computer folder>/drives/<letter>, so the
// system root C:\WINNT lies in drives/C/WINNT. The rest of the Linux file system is the host
// drive Z:, so that a program run from the build tree has an NT path as well
// (/work/build/bin/vtarn is Z:\work\build\bin\vtarn). Names are matched ignoring case, as NT
// does, and "." and ".." never climb above a drive's root or a share.
#include "platform/WinTypes.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr char16_t kHostDrive = u'Z';

// The longest path the lab accepts, in UTF-16 code units (the NT limit).
inline constexpr std::size_t kMaxNtPath = 32767;

// An absolute NT path after lexical normalisation: a drive path C:\a\b or a UNC path
// \\SERVER\SHARE\a\b. Components hold no empty, "." or ".." entries.
struct NtPathParts {
    enum class Kind { Drive, Unc };
    Kind kind = Kind::Drive;
    char16_t drive = 0;   // upper-case letter, for a drive path
    std::u16string server; // for a UNC path, without the backslashes
    std::u16string share;  // for a UNC path
    std::vector<std::u16string> components;
};

// Parses an absolute path ('/' counts as '\'). ERROR_INVALID_NAME for characters NT refuses in
// a name, for a device path (\\.\...) or for a path that is not absolute; ERROR_BAD_NETPATH for
// a UNC path without a share; ERROR_FILENAME_EXCED_RANGE beyond kMaxNtPath.
DWORD ParseNtPath(std::u16string_view path, NtPathParts& out);

// "C:\a\b", "C:\" or "\\SERVER\SHARE\a".
std::u16string FormatNtPath(const NtPathParts& parts);

// The drives of one computer (or of no computer: then only the host drive exists).
class DriveMap {
public:
    // `computerFolder` empty: no computer of a lab.
    explicit DriveMap(std::filesystem::path computerFolder);

    // The drives of the computer this process runs on (VTARN_COMPUTER_DIR).
    static DriveMap ForThisProcess();

    // The folder behind drive `letter`; ERROR_INVALID_DRIVE when the computer has no such drive.
    DWORD DriveRoot(char16_t letter, std::filesystem::path& out) const;

    // The Linux path of drive path `parts` (Kind::Drive). Existing entries are found ignoring
    // case; the part that does not exist yet is taken as written. ERROR_INVALID_DRIVE as above,
    // ERROR_INVALID_NAME for a name Linux cannot hold.
    DWORD ToLinux(const NtPathParts& parts, std::filesystem::path& out) const;

    // Parses `path` as ParseNtPath does, but a relative path is taken relative to the current
    // directory of this process, and maps it as ToLinux does.
    DWORD ResolveLocal(std::u16string_view path, NtPathParts& parts, std::filesystem::path& out) const;

    // The NT path of an absolute Linux path: inside a drive folder of the computer, that drive;
    // anywhere else, the host drive.
    std::u16string ToNt(const std::filesystem::path& linuxPath) const;

private:
    std::filesystem::path m_drivesFolder; // empty without a computer
};

// Appends `components` to `base`, matching each existing entry ignoring case.
DWORD AppendIgnoringCase(std::filesystem::path base, const std::vector<std::u16string>& components,
                         std::filesystem::path& out);

} // namespace platform
