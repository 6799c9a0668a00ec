#pragma once
// The console control handler of a foreground run: Ctrl+C (SIGINT) and Ctrl+Break (SIGQUIT,
// Ctrl+\ on a terminal) print "Stopping Vtarn RPC Service." and stop the RPC server; a request
// to terminate (SIGTERM) stops it the same way.
namespace agent {

// Blocks those signals in this thread and in every thread started after it, and starts the
// thread that waits for them. Call before any other thread exists, once per process.
void InstallConsoleControlHandler();

} // namespace agent
