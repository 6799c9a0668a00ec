#pragma once
// A computer's event log: records appended to a file in the computer's state folder, numbered
// from 1 across restarts; `ntlab events` reads the same file.
#include "platform/WinTypes.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace ntsim::node {

struct EventRecord {
    DWORD recordNumber = 0;
    std::int64_t timeWritten = 0; // seconds since 1970 (UTC)
    std::string log = "Application";
    std::u16string source;
    WORD type = 0;
    WORD category = 0;
    DWORD eventId = 0;
    std::string user; // the account that wrote it ("" for none)
    std::vector<std::u16string> strings;
    std::vector<std::uint8_t> data;
};

class EventLogStore {
public:
    // Continues the numbering of `file` (a damaged file throws LabFileError).
    explicit EventLogStore(std::filesystem::path file);

    // Numbers, stamps and appends `record`. ERROR_INVALID_PARAMETER for an empty source or one
    // beyond the limits of platform/EventLog.h, ERROR_CANTWRITE when the file cannot be written.
    DWORD Append(EventRecord& record);

    // Every record of an event-log file, oldest first (none when it does not exist yet).
    static std::vector<EventRecord> ReadAll(const std::filesystem::path& file);

private:
    std::filesystem::path m_file;
    std::mutex m_mutex;
    DWORD m_lastNumber = 0;
};

} // namespace ntsim::node
