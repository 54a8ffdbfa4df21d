// Investigation file reader: time and peak memory against the file's size,
// for a file of a million research rows and one of tiny sections. Each load
// runs in a child process so its peak memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "results/investigation_file.h"

namespace {

void Measure(const char* name, const std::string& path) {
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    int pipefd[2];
    if (::pipe(pipefd) != 0) return;
    const pid_t child = ::fork();
    if (child == 0) {
        vx::ResultsTable table;
        const auto t0 = std::chrono::steady_clock::now();
        const vx::LoadOutcome opened = vx::LoadInvestigationFile(path, table);
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        rusage ru{};
        ::getrusage(RUSAGE_SELF, &ru);
        char line[256];
        const int n = std::snprintf(line, sizeof line, "%d %.3f %ld %s", table.Count(), s,
                                    ru.ru_maxrss, opened ? "opened" : "refused");
        [[maybe_unused]] const ssize_t w = ::write(pipefd[1], line, static_cast<size_t>(n));
        ::_exit(0);
    }
    ::close(pipefd[1]);
    char buf[256] = {};
    [[maybe_unused]] const ssize_t r = ::read(pipefd[0], buf, sizeof buf - 1);
    ::close(pipefd[0]);
    ::waitpid(child, nullptr, 0);
    int rows = 0;
    double seconds = 0;
    long maxrssKb = 0;
    char outcome[16] = "";
    std::sscanf(buf, "%d %lf %ld %15s", &rows, &seconds, &maxrssKb, outcome);
    std::printf("%-30s %8.1f MB %9d rows %-7s %7.2f s %8.0f MB/s  peak memory %5.2f x file\n", name,
                mb, rows, outcome, seconds, mb / seconds, static_cast<double>(maxrssKb) / 1e3 / mb);
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "vexorin-reader-bench";
    std::filesystem::create_directories(dir);
    const std::string rowsFile = (dir / "million.bki").string();
    const std::string tinyFile = (dir / "tiny.bki").string();
    {
        std::ofstream out(rowsFile, std::ios::binary);
        for (int i = 0; i < 1000000; ++i)
            out << "[item" << i << "]\nkeyterm=\"cheap red shoes " << i
                << "\"\ndemand=\"4512\"\ncompetition=\"12345\"\ncost=\"2.736\"\nrank=\"23\"\n"
                   "profitability=\"49.911%\"\nestimation=\"2252\"\ncheck=1\n\n";
    }
    {
        std::ofstream out(tinyFile, std::ios::binary);
        for (int i = 0; out.tellp() < 64LL * 1024 * 1024; ++i) out << "[item" << i << "]\nk=v\n";
    }
    const std::string crFile = (dir / "classic-mac.bki").string();
    const std::string bareFile = (dir / "bare.bki").string();
    {
        // The million rows again with CR alone ending each line.
        std::ifstream in(rowsFile, std::ios::binary);
        std::ofstream out(crFile, std::ios::binary);
        for (char c; in.get(c);) out.put(c == '\n' ? '\r' : c);
    }
    {
        std::ofstream out(bareFile, std::ios::binary);
        for (int i = 0; out.tellp() < 37LL * 1000 * 1000; ++i) out << "[" << i << "]\n";
    }
    Measure("1 000 000 research rows", rowsFile);
    Measure("the same, CR line ends", crFile);
    Measure("64 MiB of tiny sections", tinyFile);
    Measure("37 MB of bare [n] lines", bareFile);
    std::filesystem::remove_all(dir);
}
