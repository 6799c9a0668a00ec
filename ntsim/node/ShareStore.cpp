#include "ntsim/node/ShareStore.h"

#include "ntsim/lab/TomlText.h"
#include "platform/AsciiCase.h"
#include "platform/NetShare.h"
#include "platform/NtPath.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/TableReader.h"

#include <algorithm>

namespace ntsim::node {
namespace {

constexpr DWORD kTypeFlags = STYPE_SPECIAL | STYPE_TEMPORARY;

std::string SerializeShares(const std::vector<Share>& shares) {
    std::string out = "# The shares of this computer, kept by its ntnode; 'ntlab reset' starts them afresh.\n\n";
    for (const Share& share : shares) {
        if (!share.persistent) {
            continue;
        }
        out += "[[share]]\nname = " + lab::TomlQuote(platform::ToUtf8(share.name)) +
               "\ntype = " + std::to_string(share.type) +
               "\nremark = " + lab::TomlQuote(platform::ToUtf8(share.remark)) +
               "\npermissions = " + std::to_string(share.permissions) +
               "\nmax_uses = " + std::to_string(share.maxUses) +
               "\npath = " + lab::TomlQuote(platform::ToUtf8(share.path)) +
               "\npassword = " + lab::TomlQuote(platform::ToUtf8(share.password)) + "\n\n";
    }
    return out;
}

std::vector<Share> ParseShares(const std::filesystem::path& file) {
    toml::table document = platform::lab::ParseTomlFile(file);
    platform::lab::TableReader root(document, file.string(), "");
    std::vector<Share> shares;
    for (platform::lab::TableReader& reader : root.OptionalTableArray("share")) {
        Share share;
        share.name = platform::ToUtf16(reader.RequireString("name"));
        share.type = static_cast<DWORD>(reader.RequireInteger("type", 0, 0xFFFFFFFF));
        share.remark = platform::ToUtf16(reader.OptionalString("remark").value_or(""));
        share.permissions = static_cast<DWORD>(reader.OptionalInteger("permissions", 0, 0xFFFFFFFF).value_or(0));
        share.maxUses = static_cast<DWORD>(reader.OptionalInteger("max_uses", 0, 0xFFFFFFFF).value_or(0xFFFFFFFF));
        share.path = platform::ToUtf16(reader.OptionalString("path").value_or(""));
        share.password = platform::ToUtf16(reader.OptionalString("password").value_or(""));
        reader.Finish();
        shares.push_back(std::move(share));
    }
    root.Finish();
    return shares;
}

bool IsValidShareName(std::u16string_view name) {
    if (name.empty() || name.size() > NNLEN || !platform::Utf16ToUtf8(name)) {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char16_t c) {
        return c < 32 || std::u16string_view(u"\\/:*?\"<>|,;=+[]").find(c) != std::u16string_view::npos;
    });
}

// The field of `share` that NetShareAdd refuses, or 0.
DWORD InvalidField(const Share& share) {
    if (!IsValidShareName(share.name)) {
        return SHARE_NETNAME_PARMNUM;
    }
    if ((share.type & ~kTypeFlags) > STYPE_IPC) {
        return SHARE_TYPE_PARMNUM;
    }
    if (share.remark.size() > MAXCOMMENTSZ || !platform::Utf16ToUtf8(share.remark)) {
        return SHARE_REMARK_PARMNUM;
    }
    if (share.password.size() > SHPWLEN || !platform::Utf16ToUtf8(share.password)) {
        return SHARE_PASSWD_PARMNUM;
    }
    if ((share.type & ~kTypeFlags) == STYPE_DISKTREE) {
        platform::NtPathParts parts;
        if (platform::ParseNtPath(share.path, parts) != ERROR_SUCCESS || parts.kind != platform::NtPathParts::Kind::Drive) {
            return SHARE_PATH_PARMNUM;
        }
    }
    return 0;
}

} // namespace

ShareStore::ShareStore(std::filesystem::path file, std::vector<Share> administrative, const std::vector<Share>& initial,
                       FolderCheck folderExists)
    : m_file(std::move(file)), m_folderExists(std::move(folderExists)), m_shares(std::move(administrative)) {
    for (Share& share : m_shares) {
        share.persistent = false;
    }
    std::error_code error;
    bool saved = std::filesystem::exists(m_file, error);
    std::vector<Share> kept = saved ? ParseShares(m_file) : initial;
    for (Share& share : kept) {
        share.persistent = true;
        auto same = std::find_if(m_shares.begin(), m_shares.end(),
                                 [&](const Share& other) { return platform::EqualsIgnoreCase(other.name, share.name); });
        if (same != m_shares.end()) {
            *same = std::move(share); // a kept share of that name replaces the default one
        } else {
            m_shares.push_back(std::move(share));
        }
    }
    if (!saved && !Save(m_shares)) {
        throw platform::lab::LabFileError(m_file.string(), 0, "", "cannot be written");
    }
}

bool ShareStore::Save(const std::vector<Share>& shares) const {
    std::string message;
    return lab::ReplaceFile(m_file, SerializeShares(shares), message);
}

DWORD ShareStore::Get(std::u16string_view name, Share& out) const {
    std::lock_guard lock(m_mutex);
    for (const Share& share : m_shares) {
        if (platform::EqualsIgnoreCase(share.name, name)) {
            out = share;
            return NERR_Success;
        }
    }
    return NERR_NetNameNotFound;
}

DWORD ShareStore::Add(Share share, DWORD& parmError) {
    parmError = InvalidField(share);
    if (parmError != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    share.persistent = true;
    share.currentUses = 0;
    std::lock_guard lock(m_mutex);
    for (const Share& other : m_shares) {
        if (platform::EqualsIgnoreCase(other.name, share.name)) {
            return NERR_DuplicateShare;
        }
    }
    if ((share.type & ~kTypeFlags) == STYPE_DISKTREE && !m_folderExists(share.path)) {
        return NERR_UnknownDevDir;
    }
    std::vector<Share> changed = m_shares;
    changed.push_back(std::move(share));
    if (!Save(changed)) {
        return ERROR_CANTWRITE;
    }
    m_shares = std::move(changed);
    return NERR_Success;
}

DWORD ShareStore::Delete(std::u16string_view name) {
    std::lock_guard lock(m_mutex);
    auto found = std::find_if(m_shares.begin(), m_shares.end(),
                              [&](const Share& share) { return platform::EqualsIgnoreCase(share.name, name); });
    if (found == m_shares.end()) {
        return NERR_NetNameNotFound;
    }
    std::vector<Share> changed = m_shares;
    changed.erase(changed.begin() + (found - m_shares.begin()));
    if (found->persistent && !Save(changed)) {
        return ERROR_CANTWRITE;
    }
    m_shares = std::move(changed);
    return NERR_Success;
}

std::vector<Share> ShareStore::List() const {
    std::lock_guard lock(m_mutex);
    return m_shares;
}

} // namespace ntsim::node
