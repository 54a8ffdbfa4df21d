// The shared history on PostgreSQL side by side with this computer's
// SQLite file: recording a 30-row run, and one term's runs (--history TERM)
// over a million rows. Run under tests/support/with_postgres.sh, which
// gives the server's URL in VEXORIN_TEST_PG_URL.
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/database.h"
#include "history/history_store.h"
#include "history/pg_history_store.h"
#include "history/project_store.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 30, kRecords = 50, kBigRuns = 1000, kBigRowsPerRun = 1000;

double Ms(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

std::vector<vx::ResultRow> Rows() {
    std::vector<vx::ResultRow> rows;
    for (int i = 0; i < kRows; ++i)
        rows.emplace_back(
            "garden term " + std::to_string(i),
            std::vector<std::string>{"1,200", "12345", "2.736", "23", "49.911%", "2252"}, true);
    return rows;
}

// The median time of recording a 30-row run, in milliseconds.
double RecordMs(vx::RunHistory& history) {
    std::vector<double> times;
    const auto rows = Rows();
    for (int i = 0; i < kRecords; ++i) {
        vx::HistoryRun run;
        run.started = "2026-12-08T10:00:00Z";
        run.seed = "garden";
        const auto t0 = Clock::now();
        history.Record(run, rows);
        times.push_back(Ms(t0));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The best of three of one term's runs, in milliseconds.
double TermMs(const vx::RunHistory& history) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        const auto points = history.TermHistory("Term 77");
        best = std::min(best, Ms(t0));
        if (points.size() != kBigRuns) std::exit(1);
    }
    return best;
}

void Exec(PGconn* c, const std::string& sql) {
    PGresult* r = PQexec(c, sql.c_str());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) {
        std::fprintf(stderr, "%s", PQresultErrorMessage(r));
        std::exit(1);
    }
    PQclear(r);
}

}  // namespace

int main() {
    const char* url = std::getenv("VEXORIN_TEST_PG_URL");
    if (!url) {
        std::fprintf(stderr, "run under tests/support/with_postgres.sh\n");
        return 2;
    }
    char dirTemplate[] = "/tmp/vexorin-shared-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate);
    vx::HistoryStore local(dir + "/h.sqlite3", vx::HistoryStore::Use::Write);
    vx::PgHistoryStore shared(url, vx::PgHistoryStore::Use::Write);
    shared.Clear();
    const double localRecord = RecordMs(local), sharedRecord = RecordMs(shared);
    std::printf(
        "recording a %d-row run (median of %d): SQLite %.2f ms, PostgreSQL %.2f ms "
        "(at most 10), ratio %.1f\n",
        kRows, kRecords, localRecord, sharedRecord, sharedRecord / localRecord);

    // A million rows in each, written in bulk: 1 000 runs of 1 000 terms.
    {
        vx::Database& db = local.Connection();
        db.Execute("BEGIN");
        db.Execute(("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                    std::to_string(kBigRuns) +
                    ") INSERT INTO runs (started, seed, site, depth, rows, parallel, retries, "
                    "ended, uid) SELECT printf('2025-%05d', i), 'big', 's', '1', 1000, 1, 0, "
                    "'done', 'big' || i FROM n")
                       .c_str());
        db.Execute(("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                    std::to_string(kBigRowsPerRun) +
                    ") INSERT INTO rows (run, position, term, term_key, rank, checked) "
                    "SELECT runs.id, n.i, 'Term ' || n.i, 'term ' || n.i, '3', 1 FROM runs, n "
                    "WHERE runs.seed = 'big'")
                       .c_str());
        db.Execute("COMMIT");
    }
    PGconn* c = PQconnectdb(url);
    Exec(c,
         "INSERT INTO runs (uid, started, seed, site, depth, rows, parallel, retries, ended) "
         "SELECT 'big' || i, to_char(i, 'FM2025-00000'), 'big', 's', '1', 1000, 1, 0, 'done' "
         "FROM generate_series(1, " +
             std::to_string(kBigRuns) + ") i");
    Exec(c,
         "INSERT INTO rows (run, position, term, term_key, rank, checked) "
         "SELECT runs.id, n, 'Term ' || n, 'term ' || n, '3', true FROM runs, "
         "generate_series(1, " +
             std::to_string(kBigRowsPerRun) + ") n WHERE runs.seed = 'big'");
    Exec(c, "ANALYZE runs, rows");
    PQfinish(c);
    const double localTerm = TermMs(local), sharedTerm = TermMs(shared);
    std::printf("one term's runs over %d rows: SQLite %.1f ms, PostgreSQL %.1f ms, ratio %.1f\n",
                kBigRuns * kBigRowsPerRun + kRecords * kRows, localTerm, sharedTerm,
                sharedTerm / localTerm);

    // A year of daily checks of 10 000 tracked terms, and the Tracking
    // window's query: each term's last 30 checks.
    constexpr int kTerms = 10000, kDays = 365;
    const auto year = [&](vx::RunHistory& history) {
        const auto projects = vx::ProjectsOf(history);
        vx::TrackingProject p;
        p.name = "year";
        p.site = "example.com";
        const int64_t id = projects->Save(p);
        std::vector<std::string> terms;
        for (int i = 1; i <= kTerms; ++i) terms.push_back("term " + std::to_string(i));
        projects->AddTerms(id, terms);
        return id;
    };
    const int64_t localYear = year(local), sharedYear = year(shared);
    {
        vx::Database& db = local.Connection();
        db.Execute("BEGIN");
        db.Execute(("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                    std::to_string(kDays) +
                    ") INSERT INTO runs (started, seed, site, depth, rows, parallel, retries, "
                    "ended, uid, project) SELECT printf('2026-%05d', i), 'year', 's', '1', "
                    "10000, 1, 0, 'done', 'year' || i, " +
                    std::to_string(localYear) + " FROM n")
                       .c_str());
        db.Execute(("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                    std::to_string(kTerms) +
                    ") INSERT INTO rows (run, position, term, rank, checked) SELECT runs.id, "
                    "n.i, 'term ' || n.i, (n.i + runs.id) % 40, 1 FROM runs, n "
                    "WHERE runs.seed = 'year'")
                       .c_str());
        db.Execute("COMMIT");
    }
    c = PQconnectdb(url);
    Exec(c,
         "INSERT INTO runs (uid, started, seed, site, depth, rows, parallel, retries, ended, "
         "project) SELECT 'year' || i, to_char(i, 'FM2026-00000'), 'year', 's', '1', 10000, "
         "1, 0, 'done', " +
             std::to_string(sharedYear) + " FROM generate_series(1, " + std::to_string(kDays) +
             ") i");
    Exec(c,
         "INSERT INTO rows (run, position, term, term_key, rank, checked) SELECT runs.id, n, "
         "'term ' || n, 'term ' || n, ((n + runs.id) % 40)::text, true FROM runs, "
         "generate_series(1, " +
             std::to_string(kTerms) + ") n WHERE runs.seed = 'year'");
    Exec(c, "ANALYZE runs, rows");
    PQfinish(c);
    const auto window = [](vx::RunHistory& history, int64_t id) {
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            const auto t0 = Clock::now();
            const auto terms = vx::ProjectsOf(history)->Terms(id);
            best = std::min(best, Ms(t0));
            if (terms.size() != kTerms || terms[0].recent.size() != 30) std::exit(1);
        }
        return best;
    };
    const double localWindow = window(local, localYear), sharedWindow = window(shared, sharedYear);
    std::printf(
        "the Tracking window's query over %d checks of %d terms: SQLite %.0f ms, "
        "PostgreSQL %.0f ms, ratio %.1f\n",
        kDays, kTerms, localWindow, sharedWindow, sharedWindow / localWindow);
    shared.Clear();
    std::filesystem::remove_all(dir);
    return 0;
}
