#include "ntsim/node/Node.h"

#include "ntsim/node/RegistryImage.h"
#include "platform/LabEnvironment.h"
#include "platform/NetShare.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/LabFileError.h"

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace ntsim::node {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf16;

void MakeFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw platform::lab::LabFileError(folder.string(), 0, "", "cannot be created: " + error.message());
    }
}

const platform::lab::ComputerDef& FindComputer(const platform::lab::LabNetwork& network, const std::string& name) {
    const platform::lab::ComputerDef* computer = network.FindComputer(name);
    if (computer == nullptr) {
        throw platform::lab::LabFileError(network.file, 0, "computer", "no [[computer]] is named \"" + name + "\"");
    }
    return *computer;
}

// Every drive a folder, the system root and its system32 folder inside its drive.
void PrepareDrives(const lab::LabLayout& layout, const lab::MachineProfile& profile, const platform::DriveMap& drives) {
    for (const lab::DriveDef& drive : profile.drives) {
        MakeFolder(layout.DrivesFolder(profile.computer) / std::string(1, drive.letter));
    }
    platform::NtPathParts parts;
    fs::path systemFolder;
    if (drives.ResolveLocal(ToUtf16(profile.os.systemRoot + "\\system32"), parts, systemFolder) != ERROR_SUCCESS) {
        throw platform::lab::LabFileError(profile.file, 0, "os.system_root", "cannot be made into a folder");
    }
    MakeFolder(systemFolder);
}

std::vector<Share> AdministrativeShares(const lab::MachineProfile& profile) {
    std::vector<Share> shares;
    Share admin;
    admin.name = u"ADMIN$";
    admin.type = STYPE_DISKTREE | STYPE_SPECIAL;
    admin.remark = u"Remote Admin";
    admin.path = ToUtf16(profile.os.systemRoot);
    shares.push_back(admin);
    Share ipc;
    ipc.name = u"IPC$";
    ipc.type = STYPE_IPC | STYPE_SPECIAL;
    ipc.remark = u"Remote IPC";
    shares.push_back(ipc);
    for (const lab::DriveDef& drive : profile.drives) {
        if (drive.type == lab::DriveType::Fixed) {
            Share root;
            root.name = {static_cast<char16_t>(drive.letter), u'$'};
            root.type = STYPE_DISKTREE | STYPE_SPECIAL;
            root.remark = u"Default share";
            root.path = {static_cast<char16_t>(drive.letter), u':', u'\\'};
            shares.push_back(root);
        }
    }
    return shares;
}

std::vector<Share> ProfileShares(const lab::MachineProfile& profile) {
    std::vector<Share> shares;
    for (const lab::ShareDef& def : profile.shares) {
        Share share;
        share.name = ToUtf16(def.name);
        share.type = def.type;
        share.remark = ToUtf16(def.remark);
        share.permissions = def.permissions;
        share.maxUses = def.maxUses;
        share.path = ToUtf16(def.path);
        shares.push_back(std::move(share));
    }
    return shares;
}

} // namespace

platform::logon::Digest ReadOrCreateMachineKey(const fs::path& file) {
    platform::logon::Digest key{};
    std::ifstream in(file, std::ios::binary);
    if (in.read(reinterpret_cast<char*>(key.data()), key.size()) && in.gcount() == static_cast<std::streamsize>(key.size())) {
        return key;
    }
    if (!platform::logon::RandomBytes(key.data(), key.size())) {
        throw platform::lab::LabFileError(file.string(), 0, "", "no random numbers for the machine key");
    }
    // Readable by the computer's own processes (the same user), by nobody else.
    fs::path temporary = file;
    temporary += ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool written = fd >= 0 && ::write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size());
    if (fd >= 0) {
        written = ::close(fd) == 0 && written;
    }
    std::error_code error;
    if (written) {
        fs::rename(temporary, file, error);
    }
    if (!written || error) {
        throw platform::lab::LabFileError(file.string(), 0, "", "cannot be written");
    }
    return key;
}

Node::Node(lab::LabLayout layout, platform::lab::LabNetwork network, const std::string& computer, lab::MachineProfile profile)
    : m_layout(std::move(layout)), m_network(std::move(network)), m_computer(FindComputer(m_network, computer)),
      m_profile(std::move(profile)), m_drives(m_layout.ComputerState(m_computer.name)),
      m_faults(m_layout.FaultsFolder(m_computer.name)), m_processes(m_layout.ProcessesFolder(m_computer.name)) {
    MakeFolder(StateFolder());
    MakeFolder(m_layout.FaultsFolder(Name()));
    MakeFolder(m_layout.ProcessesFolder(Name()));
    PrepareDrives(m_layout, m_profile, m_drives);
    m_registry = std::make_unique<RegistryStore>(m_layout.RegistryFile(Name()),
                                                 [this] { return BuildRegistryImage(m_profile); });
    m_shares = std::make_unique<ShareStore>(
        m_layout.SharesFile(Name()), AdministrativeShares(m_profile), ProfileShares(m_profile),
        [this](const std::u16string& ntPath) {
            platform::NtPathParts parts;
            fs::path folder;
            std::error_code error;
            return platform::ParseNtPath(ntPath, parts) == ERROR_SUCCESS &&
                   m_drives.ToLinux(parts, folder) == ERROR_SUCCESS && fs::is_directory(folder, error);
        });
    m_files = std::make_unique<FileService>(*m_shares, m_drives);
    m_eventLog = std::make_unique<EventLogStore>(m_layout.EventLogFile(Name()));
    m_logon = std::make_unique<LogonAuthority>(m_network, Name(), ReadOrCreateMachineKey(m_layout.MachineKeyFile(Name())));
}

Environment Node::ProcessEnvironment() const {
    Environment environment = ComputerEnvironment(m_layout, m_computer, m_profile, InheritedEnvironment());
    environment.erase(platform::lab::kAccountVariable); // the computer's services run as its SYSTEM
    return environment;
}

} // namespace ntsim::node
