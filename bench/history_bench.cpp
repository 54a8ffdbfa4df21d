// A research history of 10 000 runs of 30 rows (HISTORY_RUNS to change):
// recording one more run, on an open history and as each headless run does
// it (open for writing, record, close), the whole-file check, the headless
// tool's --history TERM (process start to exit), a term's trend chart in the
// History window, and the bytes the database takes a row.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/database.h"
#include "history/history_store.h"
#include "ui/history/HistoryForm.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<vx::ResultRow> RunRows(int run) {
    std::vector<vx::ResultRow> rows;
    for (int i = 0; i < 30; ++i) {
        const int k = (run * 7 + i) % 400;
        const bool ranked = (run + i) % 3 != 0;
        rows.emplace_back(i == 0 ? "cheap shoes" : "keyword phrase " + std::to_string(k),
                          std::vector<std::string>{std::to_string(1000 + k * 37),
                                                   std::to_string(100000 + k * 4099), "123.457",
                                                   ranked ? std::to_string(1 + k % 90) : "-",
                                                   "12.345%", std::to_string(k * 3)},
                          true);
    }
    return rows;
}

vx::HistoryRun Run(int i) {
    vx::HistoryRun run;
    run.started = vx::IsoUtc(1700000000 + i * 3600L);
    run.seed = "cheap";
    run.site = "mysite.example";
    run.depth = "20";
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: history_bench PATH-TO-vexorin-research\n");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char tmpl[] = "/tmp/vexorin-history-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    const std::string path = vx::HistoryStore::DefaultPath();
    const int kRuns = std::getenv("HISTORY_RUNS") ? std::atoi(std::getenv("HISTORY_RUNS")) : 10000;
    std::vector<double> record;
    {
        vx::HistoryStore store(path, vx::HistoryStore::Use::Write);
        const auto t0 = Clock::now();
        for (int i = 0; i < kRuns - 20; ++i) store.Record(Run(i), RunRows(i));
        std::printf("history of %d runs x 30 rows built in %.1f s\n", kRuns - 20,
                    Ms(Clock::now() - t0) / 1000);
        for (int i = kRuns - 20; i < kRuns; ++i) {
            const auto rows = RunRows(i);
            const auto t1 = Clock::now();
            store.Record(Run(i), rows);
            record.push_back(Ms(Clock::now() - t1));
        }
    }
    std::vector<double> opened;
    for (int i = 0; i < 20; ++i) {
        const auto rows = RunRows(kRuns + i);
        const auto t1 = Clock::now();
        vx::HistoryStore(path, vx::HistoryStore::Use::Write).Record(Run(kRuns + i), rows);
        opened.push_back(Ms(Clock::now() - t1));
    }
    double check = 0;
    {
        vx::Database db(path, false);
        const auto t1 = Clock::now();
        db.Execute("PRAGMA quick_check");
        check = Ms(Clock::now() - t1);
    }
    struct stat st {};
    ::stat(path.c_str(), &st);
    std::printf("recording a run: median %.2f ms (goal <= 5)\n", Median(record));
    std::printf("opening for writing, recording a run, closing: median %.2f ms (goal <= 20)\n",
                Median(opened));
    std::printf("whole-file check (PRAGMA quick_check, once a day): %.0f ms\n", check);
    std::printf("bytes a stored row: %.0f (goal <= 120)\n",
                static_cast<double>(st.st_size) / (kRuns * 30.0));

    std::vector<double> tool;
    for (int i = 0; i < 11; ++i) {
        std::vector<std::string> args = {argv[1], "--history", "keyword phrase 123"};
        std::vector<char*> a;
        for (auto& s : args) a.push_back(s.data());
        a.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid;
        const auto t0 = Clock::now();
        if (posix_spawnp(&pid, a[0], &fa, nullptr, a.data(), environ) != 0) return 1;
        waitpid(pid, nullptr, 0);
        tool.push_back(Ms(Clock::now() - t0));
        posix_spawn_file_actions_destroy(&fa);
    }
    std::printf("--history TERM (a term in %d runs): median %.1f ms wall (goal <= 20)\n", kRuns / 3,
                Median(tool));

    QApplication app(argc, argv);
    vx::ui::THistoryForm form(path);
    form.show();
    QApplication::processEvents();
    std::vector<double> trend;
    for (int i = 0; i < 5; ++i) {
        const auto t0 = Clock::now();
        form.ShowTrend("cheap shoes");  // in every run
        form.repaint();
        QApplication::processEvents();
        trend.push_back(Ms(Clock::now() - t0));
    }
    std::printf("trend chart of a term in all %d runs, shown: median %.1f ms (goal <= 100)\n",
                kRuns, Median(trend));
    if (!std::getenv("KEEP"))
        std::filesystem::remove_all(dir);
    else
        std::printf("%s\n", path.c_str());
    return 0;
}
