#include "platform/StringTable.h"

#include "platform/LastError.h"
#include "platform/WinError.h"

#include <algorithm>
#include <list>
#include <mutex>

namespace {

struct RegisteredTable {
    std::span<const platform::StringTableEntry> entries;
};

struct Registry {
    std::mutex lock;
    std::list<RegisteredTable> tables; // a list: the handles are the elements' addresses
};

// Constructed on first use, so that tables registering during static initialisation find it.
Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// The table an instance handle names, or null with the last error set.
const RegisteredTable* FindTable(Registry& registry, HINSTANCE instance) {
    if (registry.tables.empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (instance == nullptr) {
        if (registry.tables.size() == 1) {
            return &registry.tables.front();
        }
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    for (const RegisteredTable& table : registry.tables) {
        if (&table == instance) {
            return &table;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

} // namespace

namespace platform {

HINSTANCE RegisterStringTable(std::span<const StringTableEntry> entries) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    registry.tables.push_back({entries});
    return &registry.tables.back();
}

} // namespace platform

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
    if (buffer == nullptr || capacity < 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    const RegisteredTable* table = FindTable(registry, instance);
    if (table == nullptr) {
        return 0;
    }
    const auto entry =
        std::lower_bound(table->entries.begin(), table->entries.end(), id,
                         [](const platform::StringTableEntry& e, UINT wanted) { return e.id < wanted; });
    if (entry == table->entries.end() || entry->id != id) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const UINT count = std::min(entry->length, static_cast<UINT>(capacity - 1));
    std::copy_n(entry->text, count, buffer);
    buffer[count] = 0;
    return static_cast<int>(count);
}
