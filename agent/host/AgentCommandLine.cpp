#include "agent/host/AgentCommandLine.h"

#include "platform/WideString.h"

namespace agent {

AgentCommand ClassifyAgentCommandLine(int argc, const WCHAR* const* argv) {
    if (argc < 2 || argv[1] == nullptr) {
        return AgentCommand::RunAsService;
    }
    const WCHAR* argument = argv[1];
    if (argument[0] != u'-' && argument[0] != u'/') {
        return AgentCommand::RunAsService;
    }
    const WCHAR* word = argument + 1;
    if (lstrcmpiW(word, u"install") == 0) {
        return AgentCommand::Install;
    }
    if (lstrcmpiW(word, u"remove") == 0) {
        return AgentCommand::Remove;
    }
    if (lstrcmpiW(word, u"debug") == 0) {
        return AgentCommand::Debug;
    }
    return AgentCommand::RunAsService;
}

} // namespace agent
