// Rank tracking at the scale trackers work at: a check of 10 000 terms at
// depth 1 by vexorin-research --track against vexorin-services at 20 ms a
// request, 8 rows at once, against the network floor (rows / rows at once x
// requests a row x latency); the same list at depth 3 against services that
// answer at once, where every connection a request once opened ran this
// computer out of ports, which must check every term; then the Tracking
// window opened over a year of daily checks of 10 000 terms (3.65 million
// rows), against its own query run alone, side by side in the same run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "history/database.h"
#include "history/project_store.h"
#include "history/statement.h"
#include "ui/tracking/TrackingForm.h"
#include "ui/tracking/TrackingModel.h"

#include "child_process.h"

namespace {

constexpr int kTerms = 10000, kParallel = 8, kLatencyMs = 20;
constexpr int kDays = 365;

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The check, as the timer runs it.
bool CheckBench(const std::string& tool, const std::string& servicesTool, const std::string& dir,
                int depth, int latencyMs) {
    const std::string list = dir + "/terms.txt";
    {
        std::ofstream out(list);
        for (int i = 0; i < kTerms; ++i) out << "garden term " << i << '\n';
    }
    const std::string project = "bench" + std::to_string(depth) + "-" + std::to_string(latencyMs);
    int counted = -1;
    const pid_t services = bench::StartServices(servicesTool, latencyMs, &counted);
    const int devNull = ::open("/dev/null", O_WRONLY);
    const int made = Wait(bench::Spawn({tool, "--track-add", project, "--site", "example.com",
                                        "--depth", std::to_string(depth), "--import", list},
                                       devNull));
    const std::string said = dir + "/said.txt";
    const int saidFd = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const auto t0 = Clock::now();
    const int checked = Wait(bench::Spawn(
        {tool, "--track", project, "--parallel", std::to_string(kParallel)}, devNull, saidFd));
    const double seconds = Since(t0);
    ::close(saidFd);
    ::close(devNull);
    ::kill(services, SIGTERM);
    Wait(services);
    const long long requests = bench::AnsweredRequests(counted);
    // "bench1-20: 10000 of 10000 terms checked".
    std::string line, told;
    for (std::ifstream in(said); std::getline(in, line);)
        if (line.find("terms checked") != std::string::npos) told = line;
    if (latencyMs > 0) {
        // The requests the services answered, a lane each at once.
        const double floor = static_cast<double>(requests) / kParallel * latencyMs / 1000;
        std::printf(
            "check: %d terms, depth %d, %d at once, %d ms a request: %.2f s, %lld requests, "
            "network floor %.2f s, ratio %.3f (at most 1.1); exits %d, %d; %s\n",
            kTerms, depth, kParallel, latencyMs, seconds, requests, floor, seconds / floor, made,
            checked, told.c_str());
    } else {
        std::printf(
            "check: %d terms, depth %d, %d at once, services answering at once: %.2f s; "
            "exits %d, %d; %s\n",
            kTerms, depth, kParallel, seconds, made, checked, told.c_str());
    }
    std::fflush(stdout);
    const std::string all = std::to_string(kTerms) + " of " + std::to_string(kTerms) + " terms";
    return made == 0 && checked == 0 && told.find(all) != std::string::npos;
}

// A year of daily checks of one project, written straight into the history.
void BuildYear(const std::string& path) {
    vx::HistoryStore history(path, vx::HistoryStore::Use::Write);
    vx::LocalProjectStore projects(history);
    vx::TrackingProject p;
    p.name = "year";
    p.site = "example.com";
    const int64_t id = projects.Save(p);
    std::vector<std::string> terms;
    for (int i = 0; i < kTerms; ++i) terms.push_back("garden term " + std::to_string(i));
    projects.AddTerms(id, terms);
    vx::Database& db = history.Connection();
    db.Execute("BEGIN");
    vx::Statement run(db,
                      "INSERT INTO runs (started, seed, site, depth, rows, parallel, retries, "
                      "ended, project) VALUES (?, 'year', 'example.com', '1', ?, 8, 2, 'done', ?)");
    vx::Statement row(db,
                      "INSERT INTO rows (run, position, term, demand, competition, cost, rank, "
                      "profitability, prospects, checked, rank_n) VALUES (?, ?, ?, '?', '1', "
                      "'?', ?, '?', '?', 1, ?)");
    const std::time_t start = 1'765'000'000;
    for (int day = 0; day < kDays; ++day) {
        run.Bind(1, vx::IsoUtc(start + day * 86400)).Bind(2, int64_t{kTerms}).Bind(3, id).Run();
        const int64_t runId = sqlite3_last_insert_rowid(db.Handle());
        for (int i = 0; i < kTerms; ++i) {
            const int rank = (i * 7 + day) % 45;  // 0: not within the pages
            row.Bind(1, runId).Bind(2, int64_t{i + 1}).Bind(3, terms[static_cast<size_t>(i)]);
            row.Bind(4, rank ? std::to_string(rank) : std::string("-"));
            row.Bind(5, rank ? std::optional<int64_t>(rank) : std::nullopt);
            row.Run();
        }
    }
    db.Execute("COMMIT");
}

void WindowBench(const std::string& dir) {
    const std::string path = dir + "/year.sqlite3";
    const auto built = Clock::now();
    BuildYear(path);
    std::printf("history: %d checks of %d terms (%d rows) built in %.1f s\n", kDays, kTerms,
                kDays * kTerms, Since(built));
    // The query alone: the floor the window stands on.
    double query = 1e9, window = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        vx::HistoryStore history(path);
        vx::LocalProjectStore projects(history);
        const auto terms = projects.Terms(projects.Find("year")->id);
        query = std::min(query, Since(t0));
        if (terms.size() != kTerms || terms[0].recent.size() != 30) std::exit(1);
    }
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        vx::ui::TTrackingForm form(path, nullptr);
        form.show();
        QApplication::processEvents();
        window = std::min(window, Since(t0));
        if (form.Model().rowCount() != kTerms) std::exit(1);
    }
    std::printf(
        "tracking window over %d rows: opened in %.0f ms (under 300), its query alone %.0f ms, "
        "ratio %.2f\n",
        kDays * kTerms, window * 1000, query * 1000, window / query);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tracking_bench VEXORIN-RESEARCH VEXORIN-SERVICES\n");
        return 2;
    }
    char dirTemplate[] = "/tmp/vexorin-tracking-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No schedule to ask: the window's timer question stays off the clock.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir + "/no-bus").c_str(), 1);
    QApplication app(argc, argv);
    WindowBench(dir);
    const bool ok = CheckBench(argv[1], argv[2], dir, 1, kLatencyMs) &&
                    CheckBench(argv[1], argv[2], dir, 3, kLatencyMs) &&
                    CheckBench(argv[1], argv[2], dir, 3, 0);
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
