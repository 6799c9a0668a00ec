// ntlab events NODE: a computer's event log, oldest first, read from its state folder (so it
// works whether or not the computer runs).
#include "ntsim/lab/LabLayout.h"
#include "ntsim/node/EventLogStore.h"
#include "ntsim/ntlab/LabCommand.h"
#include "platform/EventLog.h"
#include "platform/Utf16.h"
#include "platform/lab/LabFileError.h"
#include "platform/lab/LabNetwork.h"

#include <cstdio>
#include <ctime>

namespace ntsim::ntlab {
namespace {

const char* TypeWord(WORD type) {
    switch (type) {
    case EVENTLOG_ERROR_TYPE: return "error";
    case EVENTLOG_WARNING_TYPE: return "warning";
    case EVENTLOG_INFORMATION_TYPE: return "information";
    case EVENTLOG_AUDIT_SUCCESS: return "audit success";
    case EVENTLOG_AUDIT_FAILURE: return "audit failure";
    default: return "success";
    }
}

std::string TimeText(std::int64_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

} // namespace

int EventsCommand(LabInvocation& invocation) {
    if (invocation.arguments.size() != 1) {
        std::fprintf(stderr, "usage: ntlab events NODE\n");
        return kBadInput;
    }
    lab::LabLayout layout(invocation.LabFolder());
    platform::lab::LabNetwork network;
    const platform::lab::ComputerDef* computer = nullptr;
    if (!FindLabComputer(layout, invocation.arguments[0], network, computer)) {
        return kBadInput;
    }
    try {
        for (const node::EventRecord& event : node::EventLogStore::ReadAll(layout.EventLogFile(computer->name))) {
            std::printf("%u %s UTC %s %s %s category %u id %u", event.recordNumber, TimeText(event.timeWritten).c_str(),
                        event.log.c_str(), TypeWord(event.type), platform::ToUtf8(event.source).c_str(),
                        static_cast<unsigned>(event.category), event.eventId);
            if (!event.user.empty()) {
                std::printf(" user %s", event.user.c_str());
            }
            std::printf("\n");
            for (const std::u16string& text : event.strings) {
                std::printf("    %s\n", platform::ToUtf8(text).c_str());
            }
        }
    } catch (const platform::lab::LabFileError& error) {
        std::fprintf(stderr, "ntlab: %s\n", error.what());
        return kBadInput;
    }
    return 0;
}

} // namespace ntsim::ntlab
