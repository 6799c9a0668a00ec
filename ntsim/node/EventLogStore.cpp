#include "ntsim/node/EventLogStore.h"

#include "ntsim/lab/TomlText.h"
#include "platform/EventLog.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/TableReader.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ntsim::node {
namespace {

bool IsStorable(std::u16string_view text) { return platform::Utf16ToUtf8(text).has_value(); }

std::string SerializeEvent(const EventRecord& record) {
    std::string out = "[[event]]\nrecord = " + std::to_string(record.recordNumber) +
                      "\ntime = " + std::to_string(record.timeWritten) +
                      "\nlog = " + lab::TomlQuote(record.log) +
                      "\nsource = " + lab::TomlQuote(platform::ToUtf8(record.source)) +
                      "\ntype = " + std::to_string(record.type) +
                      "\ncategory = " + std::to_string(record.category) +
                      "\nid = " + std::to_string(record.eventId) +
                      "\nuser = " + lab::TomlQuote(record.user) + "\nstrings = [";
    for (std::size_t i = 0; i < record.strings.size(); ++i) {
        out += (i == 0 ? "" : ", ") + lab::TomlQuote(platform::ToUtf8(record.strings[i]));
    }
    return out + "]\ndata = \"" + lab::ToHex(record.data) + "\"\n\n";
}

} // namespace

EventLogStore::EventLogStore(std::filesystem::path file) : m_file(std::move(file)) {
    std::vector<EventRecord> records = ReadAll(m_file);
    if (!records.empty()) {
        m_lastNumber = records.back().recordNumber;
    }
}

std::vector<EventRecord> EventLogStore::ReadAll(const std::filesystem::path& file) {
    std::vector<EventRecord> records;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return records;
    }
    toml::table document = platform::lab::ParseTomlFile(file);
    platform::lab::TableReader root(document, file.string(), "");
    for (platform::lab::TableReader& reader : root.OptionalTableArray("event")) {
        EventRecord record;
        record.recordNumber = static_cast<DWORD>(reader.RequireInteger("record", 1, 0xFFFFFFFF));
        record.timeWritten = reader.RequireInteger("time", 0, INT64_MAX);
        record.log = reader.RequireString("log");
        record.source = platform::ToUtf16(reader.RequireString("source"));
        record.type = static_cast<WORD>(reader.RequireInteger("type", 0, 0xFFFF));
        record.category = static_cast<WORD>(reader.RequireInteger("category", 0, 0xFFFF));
        record.eventId = static_cast<DWORD>(reader.RequireInteger("id", 0, 0xFFFFFFFF));
        record.user = reader.OptionalString("user").value_or("");
        for (const std::string& text : reader.OptionalStringArray("strings")) {
            record.strings.push_back(platform::ToUtf16(text));
        }
        if (!lab::ParseHex(reader.OptionalString("data").value_or(""), record.data)) {
            reader.FailAt("data", "expected hexadecimal bytes");
        }
        reader.Finish();
        records.push_back(std::move(record));
    }
    root.Finish();
    return records;
}

DWORD EventLogStore::Append(EventRecord& record) {
    if (record.source.empty() || !IsStorable(record.source) || record.strings.size() > kMaxEventStrings ||
        record.data.size() > kMaxEventDataBytes) {
        return ERROR_INVALID_PARAMETER;
    }
    for (const std::u16string& text : record.strings) {
        if (text.size() > kMaxEventStringLength || !IsStorable(text)) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    std::lock_guard lock(m_mutex);
    record.recordNumber = m_lastNumber + 1;
    record.timeWritten =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::string text = SerializeEvent(record);
    int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return ERROR_CANTWRITE;
    }
    // One write per record, so that a reader never sees half of one; a write that falls short
    // is taken back, so that the file stays readable.
    struct stat before {};
    bool sized = ::fstat(fd, &before) == 0;
    ssize_t written = ::write(fd, text.data(), text.size());
    bool complete = written == static_cast<ssize_t>(text.size());
    if (!complete && written > 0 && sized) {
        (void)!::ftruncate(fd, before.st_size);
    }
    bool closed = ::close(fd) == 0;
    if (!complete || !closed) {
        return ERROR_CANTWRITE;
    }
    m_lastNumber = record.recordNumber;
    return ERROR_SUCCESS;
}

} // namespace ntsim::node
