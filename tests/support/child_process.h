// Child processes for tests: free ports, spawning and stopping servers.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrix::test {

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreePort();

// Runs `argv` as a child process; its standard output goes to a pipe whose
// read end is returned in `stdoutFd` when that is not null. -1 on failure.
pid_t Spawn(const std::vector<std::string>& argv, int* stdoutFd = nullptr);
// SIGTERM, then SIGKILL after `graceMs`; always reaps the child.
void StopChild(pid_t pid, int graceMs = 3000);
// True once 127.0.0.1:`port` accepts a connection, within `timeoutMs`.
bool WaitForPort(int port, int timeoutMs);
// Runs a server of ours that prints its port as its first line. Returns the
// port, or -1 with `error` set (naming `name`) and no child left running.
int SpawnServer(const std::vector<std::string>& argv, const std::string& name, pid_t& pid,
                std::string& error);

}  // namespace kestrix::test
