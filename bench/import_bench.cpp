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

#include "child_process.h"

namespace {

constexpr int kTerms = 2000, kParallel = 8, kLatencyMs = 20, kRequestsPerRow = 2;

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
    const pid_t services = bench::StartServices(argv[2], kLatencyMs);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);

    const int devNull = ::open("/dev/null", O_WRONLY);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t tool = bench::Spawn({argv[1], "--import", list, "--site", "example.com", "--depth",
                                     "1", "--parallel", std::to_string(kParallel), "--no-history"},
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
