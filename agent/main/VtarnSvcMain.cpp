// VtarnSvc: the NodeAgent service program.
#include "agent/host/AgentEntry.h"
#include "platform/Utf16.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::u16string> words;
    for (int i = 0; i < argc; ++i) {
        words.push_back(platform::ToUtf16(argv[i]));
    }
    std::vector<const WCHAR*> arguments;
    for (const std::u16string& word : words) {
        arguments.push_back(word.c_str());
    }
    return agent::RunAgent(agent::ServiceHost::Process(), argc, arguments.data());
}
