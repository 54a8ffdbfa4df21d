// What the benchmarks that time the programs themselves share: starting a
// program with its output where wanted, and the stand-in services on a free
// port with the address the research reads.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

inline pid_t Spawn(std::vector<std::string> argv, int outFd, int errFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        std::perror(args[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// vexorin-services at this latency; both services' hosts set for the
// programs started after it. Its process, to end with SIGTERM.
// With counted, they count the requests they answer: read them with
// AnsweredRequests after ending them.
inline pid_t StartServices(const std::string& program, int latencyMs, int* counted = nullptr) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) std::exit(1);
    std::vector<std::string> args = {program, "--port", "0", "--latency-ms",
                                     std::to_string(latencyMs)};
    if (counted) args.emplace_back("--count");
    const pid_t services = Spawn(args, pipeFds[1]);
    ::close(pipeFds[1]);
    // The services tell their address on their first line.
    std::string line;
    for (char c; ::read(pipeFds[0], &c, 1) == 1 && c != '\n';) line += c;
    if (counted)
        *counted = pipeFds[0];
    else
        ::close(pipeFds[0]);
    const std::string host = "127.0.0.1:" + line.substr(line.rfind(':') + 1);
    ::setenv("VEXORIN_SUGGEST_HOST", host.c_str(), 1);
    ::setenv("VEXORIN_SEARCH_HOST", host.c_str(), 1);
    return services;
}

// The count the services said as they ended ("... answered N requests").
inline long long AnsweredRequests(int fd) {
    std::string line;
    for (char c; ::read(fd, &c, 1) == 1 && c != '\n';) line += c;
    ::close(fd);
    const size_t at = line.find("answered ");
    return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + 9);
}

}  // namespace bench
