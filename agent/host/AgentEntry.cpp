#include "agent/host/AgentEntry.h"

#include "agent/endpoint/RpcServer.h"
#include "agent/host/AgentCommandLine.h"
#include "agent/host/ConsoleControl.h"
#include "agent/host/ConsoleText.h"
#include "agent/host/ServiceIdentity.h"
#include "agent/host/ServiceInstaller.h"

namespace agent {
namespace {

void PrintUsage() {
    PrintText(u"%s -install          to install the service\n", kProgramBaseName);
    PrintText(u"%s -remove           to remove the service\n", kProgramBaseName);
    PrintText(u"%s -debug <params>   to run as a console app for debugging\n", kProgramBaseName);
    PrintText(u"\nStartServiceCtrlDispatcher being called.\n");
    PrintText(u"This may take several seconds.  Please wait.\n");
}

// The RPC server in the foreground, with the program's own command line as its arguments: the
// option word stands where a service's node number would, so the node key is 0.
void RunInForeground(ServiceHost& host, int argc, const WCHAR* const* argv) {
    host.SetDebug(true);
    // The handler is in place before the first line, so that a Ctrl+C that answers the line
    // always finds it.
    InstallConsoleControlHandler();
    PrintText(u"Debugging %s.\n", kServiceDisplayName);
    RunServer(static_cast<DWORD>(argc), argv, host);
}

} // namespace

int RunAgent(ServiceHost& host, int argc, const WCHAR* const* argv) {
    switch (ClassifyAgentCommandLine(argc, argv)) {
    case AgentCommand::Install:
        InstallService(host);
        return 0;
    case AgentCommand::Remove:
        RemoveService(host);
        return 0;
    case AgentCommand::Debug:
        RunInForeground(host, argc, argv);
        return 0;
    case AgentCommand::RunAsService:
        break;
    }
    PrintUsage();
    host.RunServiceDispatcher();
    return 0;
}

} // namespace agent
