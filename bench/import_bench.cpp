// A research of an imported list as a user runs it: vexorin-research
// --import with 2 000 terms against vexorin-services at 20 ms a request,
// depth 1, 8 rows at once. Its wall time against the network floor (rows /
// rows at once x requests a row x latency) and its peak memory, measured in
// the same run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kTerms = 2000, kParallel = 8, kLatencyMs = 20, kRequestsPerRow = 2;

pid_t Spawn(std::vector<std::string> argv, int outFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: import_bench VEXORIN-RESEARCH VEXORIN-SERVICES\n");
        return 2;
    }
    char dirTemplate[] = "/tmp/vexorin-import-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate);
    const std::string list = dir + "/list.txt";
    {
        std::ofstream out(list);
        for (int i = 0; i < kTerms; ++i) out << "garden term " << i << '\t' << 100 + i << '\n';
    }
    // The services tell their address on their first line.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return 1;
    const pid_t services =
        Spawn({argv[2], "--port", "0", "--latency-ms", std::to_string(kLatencyMs)}, pipeFds[1]);
    ::close(pipeFds[1]);
    std::string line;
    for (char c; ::read(pipeFds[0], &c, 1) == 1 && c != '\n';) line += c;
    const std::string host = "127.0.0.1:" + line.substr(line.rfind(':') + 1);
    ::setenv("VEXORIN_SUGGEST_HOST", host.c_str(), 1);
    ::setenv("VEXORIN_SEARCH_HOST", host.c_str(), 1);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);

    const int devNull = ::open("/dev/null", O_WRONLY);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t tool = Spawn({argv[1], "--import", list, "--site", "example.com", "--depth", "1",
                              "--parallel", std::to_string(kParallel), "--no-history"},
                             devNull);
    int status = 0;
    struct rusage usage = {};
    ::wait4(tool, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ::kill(services, SIGTERM);
    ::waitpid(services, nullptr, 0);
    std::remove(list.c_str());
    ::rmdir(dir.c_str());

    const double floor =
        static_cast<double>(kTerms) / kParallel * kRequestsPerRow * kLatencyMs / 1000;
    std::printf(
        "import: %d terms, depth 1, %d at once, %d ms a request: %.2f s, network floor %.2f s, "
        "ratio %.3f (at most 1.2); peak memory %.1f MB (under 100); exit %d\n",
        kTerms, kParallel, kLatencyMs, seconds, floor, seconds / floor,
        static_cast<double>(usage.ru_maxrss) / 1024, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
