// Marshalling cost of the largest NodeAgent reply: procedure 9 (TestStorage) returns its whole
// record buffer of 20620 characters (41,240 bytes) whatever the record's length. Prints, for
// the agent, serving one call (request decoded, zero-filled record allocated, reply encoded)
// and, for the console, decoding that reply into the caller's buffer. Each figure runs for
// about a second.
#include "agent/contract/NodeAgentMarshal.h"
#include "platform/WinError.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using nodeagent::Argument;
using Clock = std::chrono::steady_clock;

const nodeagent::Operation& kTestStorage = nodeagent::kProcedures[nodeagent::kTestStorage];
constexpr auto kRunFor = std::chrono::seconds(1);

// Runs `operation` repeatedly for about kRunFor; prints operations and reply megabytes per second.
void Measure(const char* name, std::size_t replyBytes, const std::function<bool()>& operation) {
    std::size_t count = 0;
    Clock::time_point start = Clock::now();
    Clock::time_point end = start;
    while (end - start < kRunFor) {
        for (int i = 0; i < 64; ++i) {
            if (!operation()) {
                std::printf("%s: failed\n", name);
                return;
            }
        }
        count += 64;
        end = Clock::now();
    }
    double seconds = std::chrono::duration<double>(end - start).count();
    double perSecond = static_cast<double>(count) / seconds;
    std::printf("%-34s %10.0f ops/s %9.1f MB/s\n", name, perSecond,
                perSecond * static_cast<double>(replyBytes) / 1e6);
}

} // namespace

int main() {
    // The console's request: another node named, configuration 0, the contract's record size.
    std::vector<WCHAR> record(nodeagent::kStorageRecordChars);
    Argument arguments[4] = {};
    arguments[0].input = u"NODE2";
    arguments[2].output = record.data();
    arguments[3].integer = nodeagent::kStorageRecordChars;
    rpc::Bytes request;
    if (nodeagent::EncodeRequest(kTestStorage, arguments, request) != RPC_S_OK) {
        std::printf("request: failed\n");
        return 1;
    }

    // A record of typical length: a few thousand characters, the rest the zero fill.
    std::vector<WCHAR> text(6000, u'R');
    auto routine = [&text](std::span<Argument> a) {
        std::memcpy(a[2].output, text.data(), text.size() * sizeof(WCHAR));
        return RPC_STATUS{0};
    };
    rpc::Bytes reply;
    if (nodeagent::ServeCall(kTestStorage, request, reply, routine) != RPC_S_OK) {
        std::printf("serve: failed\n");
        return 1;
    }
    std::printf("procedure 9 reply: %zu bytes (record %d characters)\n", reply.size(),
                nodeagent::kStorageRecordChars);

    Measure("agent: serve call, encode reply", reply.size(), [&] {
        rpc::Bytes out;
        return nodeagent::ServeCall(kTestStorage, request, out, routine) == RPC_S_OK;
    });
    Measure("console: decode reply", reply.size(), [&] {
        RPC_STATUS result = 1;
        return nodeagent::DecodeReply(kTestStorage, reply, arguments, result) == RPC_S_OK && result == 0;
    });
    return 0;
}
