#include "agent/endpoint/NodeKey.h"

#include <atomic>
#include <cstdint>
#include <limits>

namespace agent {
namespace {

std::atomic<LONG> gNodeKey{kNodeKeyUnset};

} // namespace

LONG ParseNodeKey(DWORD argc, const WCHAR* const* argv) {
    if (argc < 2 || argv[1] == nullptr) {
        return kNodeKeyUnset;
    }
    const WCHAR* p = argv[1];
    while (*p == u' ' || *p == u'\t') {
        ++p;
    }
    bool negative = false;
    if (*p == u'+' || *p == u'-') {
        negative = *p == u'-';
        ++p;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<LONG>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        magnitude = magnitude * 10 + (*p - u'0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<LONG>::max()) {
        value = std::numeric_limits<LONG>::max();
    }
    return static_cast<LONG>(value);
}

LONG NodeKey() {
    return gNodeKey.load();
}

void SetNodeKey(LONG key) {
    gNodeKey.store(key);
}

} // namespace agent
