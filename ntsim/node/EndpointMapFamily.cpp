#include "ntsim/node/EndpointMapFamily.h"

#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Uuid.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>

namespace ntsim::node {
namespace {

namespace epmap = rpc::epmap;

bool SameSlot(const epmap::Entry& a, const epmap::Entry& b) {
    return a.interfaceId.SyntaxGUID == b.interfaceId.SyntaxGUID &&
           a.interfaceId.SyntaxVersion.MajorVersion == b.interfaceId.SyntaxVersion.MajorVersion &&
           a.interfaceId.SyntaxVersion.MinorVersion == b.interfaceId.SyntaxVersion.MinorVersion &&
           a.protseq == b.protseq;
}

bool ProcessEnded(std::uint32_t pid) {
    return pid != 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Every reply ends with the procedure's status.
void WriteStatus(rpc::Bytes& reply, RPC_STATUS status) {
    rpc::NdrWriter(reply).WriteLong(static_cast<std::uint32_t>(status));
}

RPC_STATUS DispatchEndpointMap(EndpointTable& table, std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    rpc::NdrReader reader(request);
    if (opnum == epmap::EpList) {
        std::uint32_t index = 0;
        RPC_STATUS status = reader.ReadLong(index);
        if (status != RPC_S_OK || (status = reader.Finish()) != RPC_S_OK) {
            return status;
        }
        std::vector<epmap::Entry> entries = table.List();
        rpc::NdrWriter writer(reply);
        epmap::WriteEntry(writer, index < entries.size() ? entries[index] : epmap::Entry{});
        writer.WriteLong(std::uint32_t{index < entries.size() ? RPC_S_OK : static_cast<std::uint32_t>(EPT_S_NOT_REGISTERED)});
        return RPC_S_OK;
    }
    epmap::Entry entry;
    RPC_STATUS status = epmap::ReadEntry(reader, entry);
    if (status != RPC_S_OK || (status = reader.Finish()) != RPC_S_OK) {
        return status;
    }
    switch (opnum) {
    case epmap::EpInsert:
        WriteStatus(reply, table.Insert(entry));
        return RPC_S_OK;
    case epmap::EpDelete:
        WriteStatus(reply, table.Delete(entry));
        return RPC_S_OK;
    case epmap::EpMap: {
        std::u16string endpoint;
        RPC_STATUS found = table.Map(entry, endpoint);
        rpc::NdrWriter writer(reply);
        epmap::WriteText(writer, endpoint);
        writer.WriteLong(static_cast<std::uint32_t>(found));
        return RPC_S_OK;
    }
    default:
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
}

toml::array EndpointSection(EndpointTable& table) {
    toml::array endpoints;
    for (const epmap::Entry& entry : table.List()) {
        const RPC_VERSION& version = entry.interfaceId.SyntaxVersion;
        endpoints.push_back(toml::table{
            {"interface", rpc::FormatUuid(entry.interfaceId.SyntaxGUID)},
            {"version", std::to_string(version.MajorVersion) + "." + std::to_string(version.MinorVersion)},
            {"protseq", platform::ToUtf8(entry.protseq)},
            {"endpoint", platform::ToUtf8(entry.endpoint)},
            {"annotation", platform::ToUtf8(entry.annotation)},
            {"pid", static_cast<std::int64_t>(entry.processId)}});
    }
    return endpoints;
}

} // namespace

void EndpointTable::DropEnded() {
    std::erase_if(m_entries, [](const epmap::Entry& entry) { return ProcessEnded(entry.processId); });
}

RPC_STATUS EndpointTable::Insert(const epmap::Entry& entry) {
    std::lock_guard lock(m_mutex);
    DropEnded();
    auto same = std::find_if(m_entries.begin(), m_entries.end(), [&](const epmap::Entry& e) { return SameSlot(e, entry); });
    if (same != m_entries.end()) {
        *same = entry;
        return RPC_S_OK;
    }
    if (m_entries.size() >= kMaxEntries) {
        return RPC_S_OUT_OF_RESOURCES;
    }
    m_entries.push_back(entry);
    return RPC_S_OK;
}

RPC_STATUS EndpointTable::Delete(const epmap::Entry& entry) {
    std::lock_guard lock(m_mutex);
    auto same = std::find_if(m_entries.begin(), m_entries.end(), [&](const epmap::Entry& e) { return SameSlot(e, entry); });
    if (same == m_entries.end()) {
        return EPT_S_NOT_REGISTERED;
    }
    m_entries.erase(same);
    return RPC_S_OK;
}

RPC_STATUS EndpointTable::Map(const epmap::Entry& wanted, std::u16string& endpoint) {
    std::lock_guard lock(m_mutex);
    DropEnded();
    for (const epmap::Entry& entry : m_entries) {
        if (entry.interfaceId.SyntaxGUID == wanted.interfaceId.SyntaxGUID &&
            entry.interfaceId.SyntaxVersion.MajorVersion == wanted.interfaceId.SyntaxVersion.MajorVersion &&
            entry.interfaceId.SyntaxVersion.MinorVersion >= wanted.interfaceId.SyntaxVersion.MinorVersion &&
            entry.protseq == wanted.protseq) {
            endpoint = entry.endpoint;
            return RPC_S_OK;
        }
    }
    return EPT_S_NOT_REGISTERED;
}

std::vector<epmap::Entry> EndpointTable::List() {
    std::lock_guard lock(m_mutex);
    DropEnded();
    return m_entries;
}

void AddEndpointMapFamily(NodeServer& server) {
    auto table = std::make_shared<EndpointTable>();
    server.AddInterface(epmap::kInterfaceId, epmap::kProcedureCount,
                        [table](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                            return DispatchEndpointMap(*table, opnum, request, reply);
                        });
    server.AddStatusSection("endpoints", [table] { return EndpointSection(*table); });
}

} // namespace ntsim::node
