#include "history/history_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/text.h"
#include "history/database.h"
#include "history/statement.h"

namespace vx {

namespace {

// Schema steps: step k takes a database from version k to k + 1.
constexpr const char* kSteps[] = {
    R"(CREATE TABLE runs (
         id INTEGER PRIMARY KEY,
         started TEXT NOT NULL,
         seed TEXT NOT NULL,
         site TEXT NOT NULL,
         depth TEXT NOT NULL,
         rows INTEGER NOT NULL,
         parallel INTEGER NOT NULL,
         retries INTEGER NOT NULL,
         ended TEXT NOT NULL);
       CREATE TABLE rows (
         run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
         position INTEGER NOT NULL,
         term TEXT NOT NULL,
         demand TEXT, competition TEXT, cost TEXT, rank TEXT, profitability TEXT,
         prospects TEXT,
         checked INTEGER NOT NULL,
         demand_n INTEGER, competition_n INTEGER, rank_n INTEGER,
         PRIMARY KEY (run, position)) WITHOUT ROWID;
       CREATE INDEX rows_by_term ON rows(lower(term));)",
};
static_assert(std::size(kSteps) == HistoryStore::kSchemaVersion);

// Makes each missing folder of path's parent with mode 0700.
void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            throw HistoryError("cannot make " + folder + ": " + std::strerror(errno));
    }
}

std::optional<int64_t> Whole(std::string_view text) {
    return ReadGroupedWholeNumber(text);
}

}  // namespace

std::string IsoUtc(std::time_t time) {
    std::tm utc{};
    gmtime_r(&time, &utc);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buf;
}

std::string HistoryStore::DefaultPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && data[0] == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::string(home) + "/.local/share";
    } else {
        return "";
    }
    return base + "/vexorin/history.sqlite3";
}

HistoryStore::HistoryStore(const std::string& path, Use use) : path_(path) {
    if (path.empty()) throw HistoryError("no folder for the history");
    MakeFolders(path);
    try {
        Open(use == Use::Write);
    } catch (const HistoryCorrupt&) {
        PutAsideAndStartAgain();
    }
}

void HistoryStore::Open(bool check) {
    // The file is ours alone from its first byte.
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw HistoryError("cannot open " + path_ + ": " + std::strerror(errno));
    ::close(fd);
    db_ = std::make_unique<Database>(path_, false);
    sqlite3_busy_timeout(db_->Handle(), 5000);
    // In WAL, NORMAL loses nothing to a killed process, only to a power cut.
    db_->Execute(
        "PRAGMA foreign_keys = ON; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;");
    if (check) {
        Statement q(*db_, "PRAGMA quick_check");
        if (q.Step() && q.Text(0) != "ok") throw HistoryCorrupt("damaged: " + q.Text(0));
    }
    Upgrade();
}

void HistoryStore::PutAsideAndStartAgain() {
    db_.reset();
    const std::string stamp = IsoUtc(std::time(nullptr));
    std::string suffix = ".corrupt-";
    for (const char c : stamp)
        if (c != '-' && c != ':') suffix += c;
    for (const char* part : {"", "-wal", "-shm"}) {
        const std::string from = path_ + part;
        if (::access(from.c_str(), F_OK) != 0) continue;
        if (::rename(from.c_str(), (from + suffix).c_str()) != 0)
            throw HistoryError("cannot put the damaged history aside: " +
                               std::string(std::strerror(errno)));
    }
    setAside_ = path_ + suffix;
    Open(false);
}

HistoryStore::~HistoryStore() = default;

void HistoryStore::Upgrade() {
    Statement version(*db_, "PRAGMA user_version");
    version.Step();
    int64_t v = version.Integer(0);
    if (v > kSchemaVersion)
        throw HistoryError("the history was written by a newer Vexorin (schema " +
                           std::to_string(v) + ")");
    while (v < kSchemaVersion) {
        db_->Execute("BEGIN IMMEDIATE");
        try {
            db_->Execute(kSteps[v]);
            ++v;
            db_->Execute(("PRAGMA user_version = " + std::to_string(v)).c_str());
            db_->Execute("COMMIT");
        } catch (...) {
            db_->Execute("ROLLBACK");
            throw;
        }
    }
}

int64_t HistoryStore::Record(HistoryRun run, const std::vector<ResultRow>& rows) {
    if (rows.empty()) return 0;
    try {
        return Write(run, rows);
    } catch (const HistoryCorrupt&) {
        // Damaged under us: kept aside, and the run goes into a new history.
        PutAsideAndStartAgain();
        return Write(run, rows);
    }
}

int64_t HistoryStore::Write(const HistoryRun& run, const std::vector<ResultRow>& rows) {
    db_->Execute("BEGIN IMMEDIATE");
    try {
        Statement insert(*db_,
                         "INSERT INTO runs (started, seed, site, depth, rows, parallel, retries, "
                         "ended) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, run.started)
            .Bind(2, run.seed)
            .Bind(3, run.site)
            .Bind(4, run.depth)
            .Bind(5, static_cast<int64_t>(rows.size()))
            .Bind(6, static_cast<int64_t>(run.parallel))
            .Bind(7, static_cast<int64_t>(run.retries))
            .Bind(8, run.ended)
            .Run();
        const int64_t id = sqlite3_last_insert_rowid(db_->Handle());
        Statement row(*db_,
                      "INSERT INTO rows (run, position, term, demand, competition, cost, rank, "
                      "profitability, prospects, checked, demand_n, competition_n, rank_n) "
                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (size_t i = 0; i < rows.size(); ++i) {
            const ResultRow& r = rows[i];
            row.Bind(1, id).Bind(2, static_cast<int64_t>(i + 1));
            row.Bind(3, r.KeyTerm());
            for (int c = 0; c < kColumnCount - 1; ++c) row.Bind(4 + c, r.Text(c + 1));
            row.Bind(10, static_cast<int64_t>(r.checked));
            row.Bind(11, Whole(r.Text(colDemand)))
                .Bind(12, Whole(r.Text(colCompetition)))
                .Bind(13, Whole(r.Text(colRank)));
            row.Run();
        }
        db_->Execute("COMMIT");
        return id;
    } catch (...) {
        db_->Execute("ROLLBACK");
        throw;
    }
}

std::vector<HistoryRun> HistoryStore::Runs() const {
    Statement q(*db_,
                "SELECT id, started, seed, site, depth, rows, parallel, retries, ended FROM runs "
                "ORDER BY started, id");
    std::vector<HistoryRun> runs;
    while (q.Step()) {
        HistoryRun r;
        r.id = q.Integer(0);
        r.started = q.Text(1);
        r.seed = q.Text(2);
        r.site = q.Text(3);
        r.depth = q.Text(4);
        r.rows = static_cast<int>(q.Integer(5));
        r.parallel = static_cast<int>(q.Integer(6));
        r.retries = static_cast<int>(q.Integer(7));
        r.ended = q.Text(8);
        runs.push_back(std::move(r));
    }
    return runs;
}

bool HistoryStore::Load(int64_t id, ResultsTable& table) const {
    Statement exists(*db_, "SELECT 1 FROM runs WHERE id = ?");
    if (!exists.Bind(1, id).Step()) return false;
    Statement q(*db_,
                "SELECT term, demand, competition, cost, rank, profitability, prospects, checked "
                "FROM rows WHERE run = ? ORDER BY position");
    q.Bind(1, id);
    std::vector<ResultRow> rows;
    while (q.Step()) {
        std::vector<std::string> texts;
        for (int c = 1; c < kColumnCount; ++c) texts.push_back(q.Text(c));
        rows.emplace_back(q.Text(0), texts, q.Integer(7) != 0);
    }
    table.ReplaceRows(std::move(rows));
    return true;
}

bool HistoryStore::Delete(int64_t id) {
    Statement q(*db_, "DELETE FROM runs WHERE id = ?");
    q.Bind(1, id).Run();
    return sqlite3_changes(db_->Handle()) > 0;
}

void HistoryStore::Clear() {
    db_->Execute("DELETE FROM runs");
}

std::vector<TermPoint> HistoryStore::TermHistory(std::string_view term) const {
    Statement q(*db_,
                "SELECT runs.started, runs.id, demand, competition, cost, rank, profitability, "
                "prospects FROM rows JOIN runs ON runs.id = rows.run WHERE lower(term) = ? "
                "ORDER BY runs.started, runs.id, rows.position");
    q.Bind(1, LowerAscii(term));
    std::vector<TermPoint> points;
    while (q.Step()) {
        const int64_t run = q.Integer(1);
        // A term twice in one run: its first row.
        if (!points.empty() && points.back().run == run) continue;
        TermPoint p{q.Text(0), run, {}};
        for (int c = 2; c < 8; ++c) p.texts.push_back(q.Text(c));
        points.push_back(std::move(p));
    }
    return points;
}

std::string SetAsideNotice(const std::string& setAside) {
    return "the research history was damaged; it is kept as " + setAside +
           " and a new one was started";
}

std::vector<ResultRow> RowsOf(const ResultsTable& table) {
    std::vector<ResultRow> rows;
    rows.reserve(static_cast<size_t>(table.Count()));
    for (int i = 0; i < table.Count(); ++i) rows.push_back(table.At(i));
    return rows;
}

}  // namespace vx
