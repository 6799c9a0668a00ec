#include "platform/NtPath.h"

#include "platform/LabEnvironment.h"
#include "platform/AsciiCase.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <system_error>

namespace platform {
namespace {

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool IsValidNameCharacter(char16_t c) {
    if (c < 32) {
        return false;
    }
    switch (c) {
    case u'<': case u'>': case u':': case u'"': case u'|': case u'?': case u'*':
        return false;
    default:
        return true;
    }
}

bool IsValidName(std::u16string_view name) {
    for (char16_t c : name) {
        if (!IsValidNameCharacter(c)) {
            return false;
        }
    }
    return true;
}

// Splits `rest` at backslashes into normalised components.
DWORD SplitComponents(std::u16string_view rest, std::vector<std::u16string>& out) {
    out.clear();
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(u'\\', start);
        if (end == std::u16string_view::npos) {
            end = rest.size();
        }
        std::u16string_view part = rest.substr(start, end - start);
        if (part == u"..") {
            if (!out.empty()) {
                out.pop_back();
            }
        } else if (!part.empty() && part != u".") {
            if (!IsValidName(part)) {
                return ERROR_INVALID_NAME;
            }
            out.emplace_back(part);
        }
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

std::u16string_view NextSegment(std::u16string_view text, std::size_t& pos) {
    std::size_t end = text.find(u'\\', pos);
    if (end == std::u16string_view::npos) {
        end = text.size();
    }
    std::u16string_view segment = text.substr(pos, end - pos);
    pos = end < text.size() ? end + 1 : end;
    return segment;
}

} // namespace

DWORD ParseNtPath(std::u16string_view input, NtPathParts& out) {
    if (input.size() > kMaxNtPath) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    std::u16string path(input);
    for (char16_t& c : path) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    NtPathParts parts;
    std::u16string_view view = path;
    if (view.starts_with(u"\\\\")) {
        std::size_t pos = 2;
        std::u16string_view server = NextSegment(view, pos);
        if (server == u"." || server == u"?") {
            return ERROR_INVALID_NAME; // device and long-path forms are not file paths here
        }
        std::u16string_view share = NextSegment(view, pos);
        if (server.empty() || share.empty()) {
            return ERROR_BAD_NETPATH;
        }
        if (!IsValidName(server) || !IsValidName(share) || share == u"." || share == u"..") {
            return ERROR_INVALID_NAME;
        }
        parts.kind = NtPathParts::Kind::Unc;
        parts.server = server;
        parts.share = share;
        DWORD status = SplitComponents(view.substr(pos), parts.components);
        if (status != ERROR_SUCCESS) {
            return status;
        }
    } else if (view.size() >= 2 && IsLetter(view[0]) && view[1] == u':' &&
               (view.size() == 2 || view[2] == u'\\')) {
        parts.kind = NtPathParts::Kind::Drive;
        parts.drive = FoldCase(view[0]);
        DWORD status = SplitComponents(view.substr(2), parts.components);
        if (status != ERROR_SUCCESS) {
            return status;
        }
    } else {
        return ERROR_INVALID_NAME;
    }
    out = std::move(parts);
    return ERROR_SUCCESS;
}

std::u16string FormatNtPath(const NtPathParts& parts) {
    std::u16string text;
    if (parts.kind == NtPathParts::Kind::Unc) {
        text = u"\\\\" + parts.server + u"\\" + parts.share;
    } else {
        text = {parts.drive, u':'};
        if (parts.components.empty()) {
            text += u'\\';
        }
    }
    for (const std::u16string& component : parts.components) {
        text += u'\\';
        text += component;
    }
    return text;
}

DWORD AppendIgnoringCase(std::filesystem::path base, const std::vector<std::u16string>& components,
                         std::filesystem::path& out) {
    bool searching = true; // stop looking at the disk once a component does not exist
    for (const std::u16string& component : components) {
        std::optional<std::string> name = Utf16ToUtf8(component);
        if (!name) {
            return ERROR_INVALID_NAME;
        }
        std::filesystem::path next = base / *name;
        std::error_code error;
        if (searching && !std::filesystem::exists(std::filesystem::symlink_status(next, error))) {
            bool found = false;
            for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
                std::string entryName = entry.path().filename().string();
                if (EqualsIgnoreCase(entryName, *name)) {
                    next = entry.path();
                    found = true;
                    break;
                }
            }
            searching = found;
        }
        base = std::move(next);
    }
    out = std::move(base);
    return ERROR_SUCCESS;
}

DriveMap::DriveMap(std::filesystem::path computerFolder) {
    if (!computerFolder.empty()) {
        // Canonical, as the paths the system reports (/proc/self/exe) are, so that ToNt finds
        // a program inside the drives however the folder was named.
        std::error_code error;
        std::filesystem::path folder = std::filesystem::weakly_canonical(computerFolder, error);
        m_drivesFolder = (error ? std::filesystem::absolute(computerFolder) : folder) / lab::kDrivesFolder;
    }
}

DriveMap DriveMap::ForThisProcess() { return DriveMap(lab::ComputerFolder().value_or(std::filesystem::path())); }

DWORD DriveMap::DriveRoot(char16_t letter, std::filesystem::path& out) const {
    letter = FoldCase(letter);
    if (letter == kHostDrive) {
        out = "/";
        return ERROR_SUCCESS;
    }
    if (m_drivesFolder.empty() || !IsLetter(letter)) {
        return ERROR_INVALID_DRIVE;
    }
    std::filesystem::path root = m_drivesFolder / std::string(1, static_cast<char>(letter));
    std::error_code error;
    if (!std::filesystem::is_directory(root, error)) {
        return ERROR_INVALID_DRIVE;
    }
    out = std::move(root);
    return ERROR_SUCCESS;
}

DWORD DriveMap::ToLinux(const NtPathParts& parts, std::filesystem::path& out) const {
    if (parts.kind != NtPathParts::Kind::Drive) {
        return ERROR_INVALID_NAME;
    }
    std::filesystem::path root;
    DWORD status = DriveRoot(parts.drive, root);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return AppendIgnoringCase(root, parts.components, out);
}

DWORD DriveMap::ResolveLocal(std::u16string_view path, NtPathParts& parts, std::filesystem::path& out) const {
    std::u16string absolute(path);
    bool relative = !(path.size() >= 2 && IsLetter(path[0]) && path[1] == u':') && !path.starts_with(u"\\\\") &&
                    !path.starts_with(u"//");
    if (relative) {
        std::error_code error;
        std::filesystem::path current = std::filesystem::current_path(error);
        if (error) {
            return ERROR_PATH_NOT_FOUND;
        }
        std::u16string base = ToNt(current);
        if (path.starts_with(u"\\") || path.starts_with(u"/")) {
            absolute = base.substr(0, 2) + absolute; // rooted on the current drive
        } else {
            absolute = base + u"\\" + absolute;
        }
    }
    DWORD status = ParseNtPath(absolute, parts);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (parts.kind == NtPathParts::Kind::Unc) {
        out.clear();
        return ERROR_SUCCESS;
    }
    return ToLinux(parts, out);
}

std::u16string DriveMap::ToNt(const std::filesystem::path& linuxPath) const {
    std::filesystem::path normal = std::filesystem::absolute(linuxPath).lexically_normal();
    NtPathParts parts;
    parts.drive = kHostDrive;
    std::filesystem::path relative = normal.relative_path();
    if (!m_drivesFolder.empty()) {
        std::filesystem::path inside = normal.lexically_relative(m_drivesFolder);
        if (!inside.empty() && *inside.begin() != ".." && *inside.begin() != ".") {
            std::string letter = inside.begin()->string();
            if (letter.size() == 1 && IsLetter(static_cast<char16_t>(letter[0]))) {
                parts.drive = FoldCase(static_cast<char16_t>(letter[0]));
                relative = inside.lexically_relative(letter);
                if (relative == ".") {
                    relative.clear();
                }
            }
        }
    }
    for (const std::filesystem::path& element : relative) {
        if (!element.empty()) {
            parts.components.push_back(ToUtf16(element.string()));
        }
    }
    return FormatNtPath(parts);
}

} // namespace platform
