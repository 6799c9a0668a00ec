#include "tests/agent/EndpointMapProcess.h"

#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace agenttest {
namespace {

using rpc::epmap::Entry;

bool SameInterface(const RPC_SYNTAX_IDENTIFIER& a, const RPC_SYNTAX_IDENTIFIER& b) {
    return a.SyntaxGUID == b.SyntaxGUID && a.SyntaxVersion.MajorVersion == b.SyntaxVersion.MajorVersion &&
           a.SyntaxVersion.MinorVersion == b.SyntaxVersion.MinorVersion;
}

// The map: one entry per interface and protocol sequence, a later insert replacing an earlier.
class EndpointTable {
public:
    RPC_STATUS Serve(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
        rpc::NdrReader reader(request);
        rpc::NdrWriter writer(reply);
        std::lock_guard lock(m_mutex);
        if (opnum == rpc::epmap::EpList) {
            std::uint32_t index = 0;
            if (reader.ReadLong(index) != RPC_S_OK) {
                return RPC_X_BAD_STUB_DATA;
            }
            bool present = index < m_entries.size();
            rpc::epmap::WriteEntry(writer, present ? m_entries[index] : Entry{});
            writer.WriteLong(present ? std::uint32_t{RPC_S_OK} : std::uint32_t{EPT_S_NOT_REGISTERED});
            return RPC_S_OK;
        }
        Entry entry;
        if (rpc::epmap::ReadEntry(reader, entry) != RPC_S_OK) {
            return RPC_X_BAD_STUB_DATA;
        }
        auto found = Find(entry, opnum == rpc::epmap::EpMap);
        switch (opnum) {
        case rpc::epmap::EpInsert:
            if (found != m_entries.end()) {
                *found = entry;
            } else {
                m_entries.push_back(entry);
            }
            writer.WriteLong(std::uint32_t{RPC_S_OK});
            return RPC_S_OK;
        case rpc::epmap::EpDelete:
            if (found == m_entries.end() || found->endpoint != entry.endpoint) {
                writer.WriteLong(std::uint32_t{EPT_S_NOT_REGISTERED});
                return RPC_S_OK;
            }
            m_entries.erase(found);
            writer.WriteLong(std::uint32_t{RPC_S_OK});
            return RPC_S_OK;
        case rpc::epmap::EpMap:
            rpc::epmap::WriteText(writer, found != m_entries.end() ? found->endpoint : u"");
            writer.WriteLong(found != m_entries.end() ? std::uint32_t{RPC_S_OK}
                                                      : std::uint32_t{EPT_S_NOT_REGISTERED});
            return RPC_S_OK;
        default:
            return RPC_S_PROCNUM_OUT_OF_RANGE;
        }
    }

private:
    // A lookup matches the major version with a minor one not below the one asked for.
    std::vector<Entry>::iterator Find(const Entry& wanted, bool lookup) {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            const RPC_SYNTAX_IDENTIFIER& id = it->interfaceId;
            bool sameInterface =
                lookup ? id.SyntaxGUID == wanted.interfaceId.SyntaxGUID &&
                             id.SyntaxVersion.MajorVersion == wanted.interfaceId.SyntaxVersion.MajorVersion &&
                             id.SyntaxVersion.MinorVersion >= wanted.interfaceId.SyntaxVersion.MinorVersion
                       : SameInterface(id, wanted.interfaceId);
            if (sameInterface && it->protseq == wanted.protseq) {
                return it;
            }
        }
        return m_entries.end();
    }

    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

// The child: serves the map until it is killed, or dies with its parent. Writes the port it
// listens on to `portPipe` once it can take calls.
[[noreturn]] void ServeEndpointMap(int portPipe) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    static EndpointTable table;
    static const RPC_SERVER_INTERFACE serverInterface = {
        rpc::epmap::kInterfaceId, NdrTransferSyntax, rpc::epmap::kProcedureCount,
        [](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
            return table.Serve(opnum, request, reply);
        }};
    RPC_BINDING_VECTOR* bindings = nullptr;
    RPC_WSTR text = nullptr;
    RPC_WSTR endpoint = nullptr;
    if (RpcServerUseProtseqW(const_cast<RPC_WSTR>(u"ncacn_ip_tcp"), 10, nullptr) != RPC_S_OK ||
        RpcServerRegisterIf(&serverInterface, nullptr, nullptr) != RPC_S_OK ||
        RpcServerInqBindings(&bindings) != RPC_S_OK ||
        RpcBindingToStringBindingW(bindings->BindingH[0], &text) != RPC_S_OK ||
        RpcStringBindingParseW(text, nullptr, nullptr, nullptr, &endpoint, nullptr) != RPC_S_OK ||
        RpcServerListen(1, 100, TRUE) != RPC_S_OK) {
        ::_exit(2);
    }
    std::string port = platform::ToUtf8(endpoint) + "\n";
    if (::write(portPipe, port.data(), port.size()) != static_cast<ssize_t>(port.size())) {
        ::_exit(3);
    }
    ::close(portPipe);
    RpcMgmtWaitServerListen();
    ::_exit(0);
}

class EndpointMapEnvironment : public testing::Environment {
public:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        // Forked before any test has started a thread, so the child's run time starts afresh.
        m_child = ::fork();
        ASSERT_GE(m_child, 0);
        if (m_child == 0) {
            ::close(fds[0]);
            ServeEndpointMap(fds[1]);
        }
        ::close(fds[1]);
        std::string port;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') {
            port.push_back(c);
        }
        ::close(fds[0]);
        ASSERT_FALSE(port.empty()) << "the endpoint map did not start";
        Address() = "127.0.0.1:" + port;
        ::setenv("VTARN_NTNODE", Address().c_str(), 1);
    }

    void TearDown() override {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
    }

    static std::string& Address() {
        static std::string address;
        return address;
    }

private:
    pid_t m_child = -1;
};

[[maybe_unused]] testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new EndpointMapEnvironment);

} // namespace

const std::string& EndpointMapAddress() {
    return EndpointMapEnvironment::Address();
}

} // namespace agenttest
