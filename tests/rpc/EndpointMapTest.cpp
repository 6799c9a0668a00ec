// RpcEpRegisterW / RpcEpUnregister and endpoint resolution against a test double of a
// computer's endpoint map, served by this process's own server.
#include "platform/Utf16.h"
#include "platform/rpc/EndpointMapClient.h"
#include "platform/rpc/EndpointResolver.h"
#include "tests/rpc/support/ServerFixture.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

using namespace rpc::epmap;
using rpctest::ClientBinding;

// Keeps the table the way a computer's endpoint map does (EndpointMap.h).
class EndpointMapDouble {
public:
    RPC_STATUS Serve(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
        std::lock_guard lock(m_mutex);
        rpc::NdrReader reader(request);
        rpc::NdrWriter writer(reply);
        Entry entry;
        std::uint32_t index = 0;
        RPC_STATUS status = opnum == EpList ? reader.ReadLong(index) : ReadEntry(reader, entry);
        if (status != RPC_S_OK || (status = reader.Finish()) != RPC_S_OK) {
            return status;
        }
        auto same = [&entry](const Entry& held) {
            return held.interfaceId == entry.interfaceId && held.protseq == entry.protseq;
        };
        switch (opnum) {
        case EpInsert:
            std::erase_if(m_entries, same);
            m_entries.push_back(entry);
            writer.WriteLong(std::uint32_t{0});
            return RPC_S_OK;
        case EpDelete: {
            std::size_t removed = std::erase_if(
                m_entries, [&](const Entry& held) { return same(held) && held.endpoint == entry.endpoint; });
            writer.WriteLong(removed > 0 ? 0 : EPT_S_NOT_REGISTERED);
            return RPC_S_OK;
        }
        case EpMap: {
            auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& held) {
                return held.interfaceId.SyntaxGUID == entry.interfaceId.SyntaxGUID &&
                       held.interfaceId.SyntaxVersion.MajorVersion ==
                           entry.interfaceId.SyntaxVersion.MajorVersion &&
                       held.interfaceId.SyntaxVersion.MinorVersion >=
                           entry.interfaceId.SyntaxVersion.MinorVersion &&
                       held.protseq == entry.protseq;
            });
            WriteText(writer, found != m_entries.end() ? found->endpoint : u"");
            writer.WriteLong(found != m_entries.end() ? 0 : EPT_S_NOT_REGISTERED);
            return RPC_S_OK;
        }
        default:
            WriteEntry(writer, index < m_entries.size() ? m_entries[index] : Entry{});
            writer.WriteLong(index < m_entries.size() ? 0 : EPT_S_NOT_REGISTERED);
            return RPC_S_OK;
        }
    }

private:
    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

class EndpointMap : public rpctest::ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        static EndpointMapDouble table;
        static const RPC_SERVER_INTERFACE map = {
            kInterfaceId, NdrTransferSyntax, kProcedureCount,
            [](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                return table.Serve(opnum, request, reply);
            }};
        ASSERT_EQ(RpcServerRegisterIf(&map, nullptr, nullptr), RPC_S_OK);
        std::u16string tcp = ServerBinding(u"ncacn_ip_tcp");
        std::u16string port = tcp.substr(tcp.find(u'[') + 1, tcp.size() - tcp.find(u'[') - 2);
        // This process plays the computer "localhost"; every other name is unknown.
        rpc::SetEndpointMapperResolver(
            [port](std::u16string_view computer, rpc::EndpointMapperAddress& address) {
                if (!computer.empty() && computer != u"localhost") {
                    return RPC_STATUS{RPC_S_SERVER_UNAVAILABLE};
                }
                address = {u"127.0.0.1", port};
                return RPC_STATUS{RPC_S_OK};
            });
    }
    void TearDown() override {
        rpc::SetEndpointMapperResolver({});
        ServerFixture::TearDown();
    }
};

TEST_F(EndpointMap, ClientsWithoutAnEndpointFindTheOneTheServerRegistered) {
    RPC_BINDING_VECTOR* bindings = nullptr;
    ASSERT_EQ(RpcServerInqBindings(&bindings), RPC_S_OK);
    std::u16string annotation = u"test server";
    ASSERT_EQ(RpcEpRegisterW(&rpctest::TestServerInterface(), bindings, nullptr, annotation.data()),
              RPC_S_OK);

    std::vector<Entry> entries;
    ASSERT_EQ(rpc::ListEndpoints(u"", entries), RPC_S_OK);
    auto tcpEntry = std::find_if(entries.begin(), entries.end(),
                                 [](const Entry& e) { return e.protseq == u"ncacn_ip_tcp"; });
    ASSERT_NE(tcpEntry, entries.end());
    EXPECT_EQ(tcpEntry->annotation, annotation);
    EXPECT_EQ(tcpEntry->interfaceId, rpctest::kTestInterfaceId);
    EXPECT_EQ(tcpEntry->processId, static_cast<std::uint32_t>(::getpid()));

    for (std::u16string text : {u"ncacn_ip_tcp:localhost", u"ncalrpc:"}) {
        SCOPED_TRACE(platform::ToUtf8(text));
        ClientBinding client(text);
        rpc::Bytes reply;
        ASSERT_EQ(client.Call(rpctest::Echo, rpctest::Pattern(3000), reply), RPC_S_OK);
        EXPECT_EQ(reply, rpctest::Pattern(3000));
        RPC_WSTR resolved = nullptr;
        ASSERT_EQ(RpcBindingToStringBindingW(client.Handle(), &resolved), RPC_S_OK);
        std::u16string resolvedText = resolved;
        RpcStringFreeW(&resolved);
        std::u16string server = ServerBinding(text.substr(0, text.find(u':')));
        EXPECT_EQ(resolvedText.substr(resolvedText.find(u'[')), server.substr(server.find(u'[')));
    }

    ASSERT_EQ(RpcEpUnregister(&rpctest::TestServerInterface(), bindings, nullptr), RPC_S_OK);
    RpcBindingVectorFree(&bindings);
    ClientBinding unregistered(u"ncacn_ip_tcp:localhost");
    rpc::Bytes reply;
    EXPECT_EQ(unregistered.Call(rpctest::Ping, {}, reply), EPT_S_NOT_REGISTERED);
    ClientBinding unknownComputer(u"ncacn_ip_tcp:NOSUCHNODE");
    EXPECT_EQ(unknownComputer.Call(rpctest::Ping, {}, reply), RPC_S_SERVER_UNAVAILABLE);
}

} // namespace
