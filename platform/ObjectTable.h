#pragma once
// Opaque handles for the objects of a family that are not kernel objects (registry keys,
// event sources): a handle is the address of an object the table holds, so it stays unique
// while open, and a handle that is not open (closed twice, never opened, made up) is found
// to be none instead of being used.
#include <map>
#include <memory>
#include <mutex>

namespace platform {

template <class T>
class ObjectTable {
public:
    void* Insert(std::shared_ptr<T> object) {
        void* handle = object.get();
        std::lock_guard lock(m_mutex);
        m_objects.emplace(handle, std::move(object));
        return handle;
    }

    std::shared_ptr<T> Find(const void* handle) const {
        std::lock_guard lock(m_mutex);
        auto found = m_objects.find(handle);
        return found == m_objects.end() ? nullptr : found->second;
    }

    // The object, no longer in the table; null when the handle is not open.
    std::shared_ptr<T> Remove(const void* handle) {
        std::lock_guard lock(m_mutex);
        auto found = m_objects.find(handle);
        if (found == m_objects.end()) {
            return nullptr;
        }
        std::shared_ptr<T> object = std::move(found->second);
        m_objects.erase(found);
        return object;
    }

private:
    mutable std::mutex m_mutex;
    std::map<const void*, std::shared_ptr<T>> m_objects;
};

} // namespace platform
