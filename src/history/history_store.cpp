#include "history/history_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdio.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "core/text.h"
#include "history/database.h"
#include "history/row_figures.h"
#include "history/statement.h"

namespace vx {

namespace {

// Schema steps: step k takes a database from version k to k + 1. Each runs
// in the transaction that reads the version, foreign keys off (step 2
// rebuilds the runs table, which would cascade to every row).
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
    // Run ids never reused (AUTOINCREMENT, past any row left behind); terms
    // matched by their case folding for every script; the figures that are
    // not whole numbers kept as numbers too; when the file was last checked.
    // A term already folded (most are) keeps no key of its own: NULL.
    R"(CREATE TABLE runs_v2 (
         id INTEGER PRIMARY KEY AUTOINCREMENT,
         started TEXT NOT NULL,
         seed TEXT NOT NULL,
         site TEXT NOT NULL,
         depth TEXT NOT NULL,
         rows INTEGER NOT NULL,
         parallel INTEGER NOT NULL,
         retries INTEGER NOT NULL,
         ended TEXT NOT NULL);
       INSERT INTO runs_v2 SELECT id, started, seed, site, depth, rows, parallel, retries, ended
         FROM runs;
       DROP TABLE runs;
       ALTER TABLE runs_v2 RENAME TO runs;
       DELETE FROM sqlite_sequence WHERE name = 'runs';
       INSERT INTO sqlite_sequence (name, seq) VALUES ('runs',
         max(coalesce((SELECT max(id) FROM runs), 0), coalesce((SELECT max(run) FROM rows), 0)));
       ALTER TABLE rows ADD COLUMN term_key TEXT;
       ALTER TABLE rows ADD COLUMN cost_n REAL;
       ALTER TABLE rows ADD COLUMN profitability_n REAL;
       ALTER TABLE rows ADD COLUMN prospects_n REAL;
       UPDATE rows SET term_key = nullif(vx_fold(term), term);
       DROP INDEX rows_by_term;
       CREATE INDEX rows_by_term_key ON rows(coalesce(term_key, term));
       CREATE TABLE meta (key TEXT PRIMARY KEY, value) WITHOUT ROWID;)",
    // Who ranks for a row's term: the first results of its first page, by
    // place; the host kept as read so "which terms does a host hold" is one
    // indexed query.
    R"(CREATE TABLE top_results (
         run INTEGER NOT NULL,
         position INTEGER NOT NULL,
         place INTEGER NOT NULL,
         url TEXT NOT NULL,
         host TEXT NOT NULL,
         PRIMARY KEY (run, position, place),
         FOREIGN KEY (run, position) REFERENCES rows(run, position) ON DELETE CASCADE)
         WITHOUT ROWID;
       CREATE INDEX top_results_by_host ON top_results(host);)",
    // Tracking: projects of terms checked on a schedule. A check is a run
    // that names its project; project ids are never reused, so a deleted
    // project's checks stay runs without marking another's.
    R"(ALTER TABLE runs ADD COLUMN project INTEGER;
       CREATE INDEX runs_by_project ON runs(project, started) WHERE project IS NOT NULL;
       CREATE TABLE projects (
         id INTEGER PRIMARY KEY AUTOINCREMENT,
         name TEXT NOT NULL UNIQUE,
         site TEXT NOT NULL,
         depth TEXT NOT NULL,
         suggest_service TEXT NOT NULL DEFAULT '',
         search_service TEXT NOT NULL DEFAULT '',
         interval_hours INTEGER NOT NULL DEFAULT 24,
         last_check INTEGER);
       CREATE TABLE tracked_terms (
         project INTEGER NOT NULL REFERENCES projects(id) ON DELETE CASCADE,
         term_key TEXT NOT NULL,
         term TEXT NOT NULL,
         ord INTEGER NOT NULL,
         paused INTEGER NOT NULL DEFAULT 0,
         best_rank INTEGER,
         PRIMARY KEY (project, term_key)) WITHOUT ROWID;)",
    // A run's own name, the same in every history it is copied to, who
    // recorded it, and whether it waits to be sent to a shared history.
    R"(ALTER TABLE runs ADD COLUMN uid TEXT;
       ALTER TABLE runs ADD COLUMN recorded_by TEXT NOT NULL DEFAULT '';
       ALTER TABLE runs ADD COLUMN pending INTEGER NOT NULL DEFAULT 0;
       UPDATE runs SET uid = lower(hex(randomblob(16)));
       CREATE UNIQUE INDEX runs_by_uid ON runs(uid);
       CREATE INDEX runs_pending ON runs(pending) WHERE pending = 1;)",
    // Where a waiting run is going, so it reaches no other shared history,
    // and why one was set aside, so it never holds back the rest.
    R"(ALTER TABLE runs ADD COLUMN pending_to TEXT NOT NULL DEFAULT '';
       ALTER TABLE runs ADD COLUMN set_aside TEXT NOT NULL DEFAULT '';)",
};
static_assert(std::size(kSteps) == HistoryStore::kSchemaVersion);

// Which history files this process holds open, by file: a damaged one is
// never put aside under another connection of ours. The lock also keeps a
// new file's making apart from every opening.
std::mutex gFilesMutex;
std::map<std::pair<uint64_t, uint64_t>, int> gOpenFiles;

// Makes each missing folder of path's parent with mode 0700.
void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            throw HistoryError("cannot make " + PrintableName(folder) + ": " +
                               std::strerror(errno));
    }
}

// The term's case folding when it differs from the term; none otherwise.
std::optional<std::string> FoldedKeyOf(std::string_view term) {
    std::string folded = FoldCase(term);
    if (folded == term) return std::nullopt;
    return folded;
}

// vx_fold(text): FoldCase in SQL, for upgrading rows kept before.
void Fold(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const std::string folded = FoldCase(
        std::string_view(bytes ? bytes : "", static_cast<size_t>(sqlite3_value_bytes(args[0]))));
    sqlite3_result_text64(context, folded.data(), folded.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// Runs what SQLite may refuse while another process holds its lock (the
// switch to WAL is one the busy time-out does not cover), for up to 5 s.
template <class Action>
void WhileBusy(Database& db, Action action) {
    for (int tries = 0;; ++tries) {
        try {
            action();
            return;
        } catch (const HistoryError&) {
            const int code = sqlite3_extended_errcode(db.Handle()) & 0xFF;
            if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) || tries >= 500) throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

// Puts from aside under to, never over a file already there.
bool RenameExclusively(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link is just as exclusive.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
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

HistoryStore::HistoryStore(const std::string& path, Use use) : path_(path), use_(use) {
    if (path.empty()) throw HistoryError("no folder for the history");
    // No destructor runs for a constructor that raised: its connection is
    // closed (and forgotten) here.
    try {
        if (use == Use::Read) {
            OpenForReading();
            return;
        }
        MakeFolders(path);
        try {
            OpenForWriting();
        } catch (const HistoryCorrupt&) {
            PutAsideAndStartAgain();
        }
    } catch (...) {
        Close();
        throw;
    }
}

HistoryStore::~HistoryStore() {
    Close();
}

void HistoryStore::Close() noexcept {
    db_.reset();
    if (!file_) return;
    const std::lock_guard lock(gFilesMutex);
    const std::pair key(file_->device, file_->inode);
    if (--gOpenFiles[key] <= 0) gOpenFiles.erase(key);
    file_.reset();
}

void HistoryStore::OpenFile(bool readWrite) {
    db_ = std::make_unique<Database>(
        path_, readWrite ? Database::Mode::ReadWrite : Database::Mode::Unchanging);
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        file_ = FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        ++gOpenFiles[{file_->device, file_->inode}];
    }
    sqlite3_busy_timeout(db_->Handle(), 5000);
    // No checkpoint on closing until the file is known to be ours to write:
    // a newer version's history is left byte for byte as it is.
    sqlite3_db_config(db_->Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_create_function_v2(db_->Handle(), "vx_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               nullptr, Fold, nullptr, nullptr, nullptr);
}

void HistoryStore::OpenEmpty() {
    Close();
    db_ = std::make_unique<Database>(":memory:", Database::Mode::Create);
    sqlite3_create_function_v2(db_->Handle(), "vx_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               nullptr, Fold, nullptr, nullptr, nullptr);
    for (const char* step : kSteps) db_->Execute(step);
    schema_ = kSchemaVersion;
}

void HistoryStore::OpenForReading() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        if (errno != ENOENT)
            throw HistoryError("cannot read " + PrintableName(path_) + ": " + std::strerror(errno));
        return OpenEmpty();  // nothing recorded yet
    }
    {
        const std::lock_guard lock(gFilesMutex);
        // A history we may not write to, or whose folder we may not add
        // SQLite's shared memory to, is read as it stands.
        const std::string folder = path_.substr(0, path_.rfind('/') + 1);
        const bool writable = ::access(path_.c_str(), W_OK) == 0 &&
                              ::access((folder.empty() ? "." : folder).c_str(), W_OK) == 0;
        OpenFile(writable);
    }
    schema_ = static_cast<int>(UserVersion());
    if (schema_ > kSchemaVersion)
        throw HistoryError("the history was written by a newer Vexorin (schema " +
                           std::to_string(schema_) + ")");
    if (schema_ == 0) OpenEmpty();  // made, never written to
}

void HistoryStore::OpenForWriting() {
    {
        // A new file is ours alone from its first byte. An existing one is
        // never opened outside SQLite: closing any descriptor of a file drops
        // every POSIX lock this process holds on it, those of our other
        // connections included.
        const std::lock_guard lock(gFilesMutex);
        struct stat st {};
        if (::lstat(path_.c_str(), &st) != 0) {
            if (errno != ENOENT)
                throw HistoryError("cannot open " + PrintableName(path_) + ": " +
                                   std::strerror(errno));
            const int fd =
                ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0 && errno != EEXIST)
                throw HistoryError("cannot open " + PrintableName(path_) + ": " +
                                   std::strerror(errno));
            if (fd >= 0) ::close(fd);
        } else if (S_ISLNK(st.st_mode) && st.st_uid != ::getuid()) {
            throw HistoryError("cannot open " + PrintableName(path_) +
                               ": a symbolic link someone else owns");
        }
        OpenFile(true);
    }
    // The version first, before anything is written.
    schema_ = static_cast<int>(UserVersion());
    if (schema_ > kSchemaVersion)
        throw HistoryError("the history was written by a newer Vexorin (schema " +
                           std::to_string(schema_) + ")");
    sqlite3_db_config(db_->Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    // In WAL, NORMAL loses nothing to a killed process, only to a power cut.
    WhileBusy(*db_, [this] { db_->Execute("PRAGMA journal_mode = WAL"); });
    db_->Execute("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL;");
    Upgrade();
    CheckNowAndThen();
}

int64_t HistoryStore::UserVersion() {
    Statement version(*db_, "PRAGMA user_version");
    version.Step();
    return version.Integer(0);
}

void HistoryStore::PutAsideAndStartAgain() {
    // Only the file found damaged goes aside: another process may have put
    // it aside already and started the file now there.
    const std::optional<FileId> damaged = file_;
    Close();
    {
        const std::lock_guard lock(gFilesMutex);
        if (damaged && gOpenFiles.count({damaged->device, damaged->inode}))
            throw HistoryCorrupt("the research history " + PrintableName(path_) +
                                 " is damaged; it is put aside once this program no longer "
                                 "reads it");
        struct stat st {};
        const bool same =
            ::stat(path_.c_str(), &st) == 0 && damaged &&
            FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == *damaged;
        if (same) {
            const std::string stamp = IsoUtc(std::time(nullptr));
            std::string base = path_ + ".corrupt-";
            for (const char c : stamp)
                if (c != '-' && c != ':') base += c;
            std::string aside = base;
            for (int n = 2; !RenameExclusively(path_, aside); ++n) {
                if (errno != EEXIST || n > 1000)
                    throw HistoryError("cannot put the damaged history aside: " +
                                       std::string(std::strerror(errno)));
                aside = base + "-" + std::to_string(n);
            }
            for (const char* part : {"-wal", "-shm"}) RenameExclusively(path_ + part, aside + part);
            setAside_ = aside;
        }
    }
    OpenForWriting();
}

void HistoryStore::Upgrade() {
    if (schema_ == kSchemaVersion) return;
    db_->Execute("PRAGMA foreign_keys = OFF");
    WhileBusy(*db_, [this] { db_->Execute("BEGIN IMMEDIATE"); });
    try {
        // Read again inside the transaction: another process may have
        // upgraded (or made) the schema meanwhile.
        int64_t v = UserVersion();
        if (v > kSchemaVersion)
            throw HistoryError("the history was written by a newer Vexorin (schema " +
                               std::to_string(v) + ")");
        for (; v < kSchemaVersion; ++v) db_->Execute(kSteps[v]);
        db_->Execute(("PRAGMA user_version = " + std::to_string(v)).c_str());
        db_->Execute("COMMIT");
        schema_ = static_cast<int>(v);
    } catch (...) {
        db_->RollbackQuietly();
        db_->Execute("PRAGMA foreign_keys = ON");
        throw;
    }
    db_->Execute("PRAGMA foreign_keys = ON");
}

void HistoryStore::CheckNowAndThen() {
    const int64_t now = std::time(nullptr);
    {
        Statement last(*db_, "SELECT value FROM meta WHERE key = 'checked'");
        if (last.Step() && now - last.Integer(0) < kCheckEverySeconds && last.Integer(0) <= now)
            return;
    }
    // The whole file costs time in proportion to its size: not every run.
    // The check's statement ends before the mark is written: a statement
    // left open keeps a read snapshot, and a write from it cannot wait its
    // way past another process's newer one.
    {
        Statement q(*db_, "PRAGMA quick_check");
        if (q.Step() && q.Text(0) != "ok")
            throw HistoryCorrupt("the research history " + PrintableName(path_) +
                                 " is damaged: " + q.Text(0));
    }
    // Prepared afresh for each try: a statement refused as busy is still
    // running, and binding to it again is misuse.
    WhileBusy(*db_, [&] {
        Statement mark(*db_, "INSERT OR REPLACE INTO meta (key, value) VALUES ('checked', ?)");
        mark.Bind(1, now).Run();
    });
}

int64_t HistoryStore::Record(HistoryRun run, const std::vector<ResultRow>& rows) {
    if (rows.empty()) return 0;
    try {
        return Write(run, rows, false);
    } catch (const HistoryCorrupt&) {
        // Damaged under us: kept aside, and the run goes into a new history.
        PutAsideAndStartAgain();
        return Write(run, rows, false);
    }
}

int64_t HistoryStore::RecordPending(HistoryRun run, const std::vector<ResultRow>& rows,
                                    const std::string& destination) {
    if (rows.empty()) return 0;
    run.pendingTo = destination;
    try {
        return Write(run, rows, true);
    } catch (const HistoryCorrupt&) {
        PutAsideAndStartAgain();
        return Write(run, rows, true);
    }
}

void HistoryStore::MarkSent(int64_t id) {
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    Statement q(*db_, "UPDATE runs SET pending = 0 WHERE id = ?");
    q.Bind(1, id).Run();
}

void HistoryStore::SetAside(int64_t id, const std::string& why) {
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    Statement q(*db_, "UPDATE runs SET set_aside = ? WHERE id = ?");
    q.Bind(1, why).Bind(2, id).Run();
}

int64_t HistoryStore::Write(const HistoryRun& given, const std::vector<ResultRow>& rows,
                            bool pending) {
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    HistoryRun run = given;
    if (run.uid.empty()) run.uid = NewRunUid();
    if (run.recordedBy.empty()) run.recordedBy = RecordedByHere();
    db_->Execute("BEGIN IMMEDIATE");
    try {
        {
            // Here already (copied or sent before): nothing more.
            Statement known(*db_, "SELECT id FROM runs WHERE uid = ?");
            if (known.Bind(1, run.uid).Step()) {
                const int64_t id = known.Integer(0);
                db_->Execute("COMMIT");
                return id;
            }
        }
        Statement insert(*db_,
                         "INSERT INTO runs (started, seed, site, depth, rows, parallel, retries, "
                         "ended, project, uid, recorded_by, pending, pending_to) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, run.started)
            .Bind(2, run.seed)
            .Bind(3, run.site)
            .Bind(4, run.depth)
            .Bind(5, static_cast<int64_t>(rows.size()))
            .Bind(6, static_cast<int64_t>(run.parallel))
            .Bind(7, static_cast<int64_t>(run.retries))
            .Bind(8, run.ended)
            .Bind(9, run.project ? std::optional<int64_t>(run.project) : std::nullopt)
            .Bind(10, run.uid)
            .Bind(11, run.recordedBy)
            .Bind(12, static_cast<int64_t>(pending))
            .Bind(13, pending ? run.pendingTo : std::string())
            .Run();
        const int64_t id = sqlite3_last_insert_rowid(db_->Handle());
        // Rows a run deleted outside Vexorin left behind (the sqlite3 shell
        // keeps foreign keys off) never stand in the new run's way.
        for (const char* sql :
             {"DELETE FROM top_results WHERE run = ?", "DELETE FROM rows WHERE run = ?"}) {
            Statement orphans(*db_, sql);
            orphans.Bind(1, id).Run();
        }
        Statement top(*db_,
                      "INSERT INTO top_results (run, position, place, url, host) "
                      "VALUES (?, ?, ?, ?, ?)");
        Statement row(*db_,
                      "INSERT INTO rows (run, position, term, demand, competition, cost, rank, "
                      "profitability, prospects, checked, demand_n, competition_n, rank_n, "
                      "term_key, cost_n, profitability_n, prospects_n) "
                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        const char sep = run.decimalSeparator;
        for (size_t i = 0; i < rows.size(); ++i) {
            const ResultRow& r = rows[i];
            row.Bind(1, id).Bind(2, static_cast<int64_t>(i + 1));
            row.Bind(3, r.KeyTerm());
            for (int c = 0; c < kColumnCount - 1; ++c) row.Bind(4 + c, r.Text(c + 1));
            row.Bind(10, static_cast<int64_t>(r.checked));
            row.Bind(11, WholeFigure(r.Text(colDemand)))
                .Bind(12, WholeFigure(r.Text(colCompetition)))
                .Bind(13, WholeFigure(r.Text(colRank)))
                .BindOrNull(14, FoldedKeyOf(r.KeyTerm()))
                .Bind(15, DecimalFigure(r.Text(colCost), sep))
                .Bind(16, DecimalFigure(r.Text(colProfitability), sep))
                .Bind(17, DecimalFigure(r.Text(colProspects), sep));
            row.Run();
            for (const TopResult& t : r.Top()) {
                top.Bind(1, id)
                    .Bind(2, static_cast<int64_t>(i + 1))
                    .Bind(3, static_cast<int64_t>(t.position))
                    .Bind(4, t.url)
                    .Bind(5, t.host)
                    .Run();
            }
        }
        db_->Execute("COMMIT");
        return id;
    } catch (...) {
        // A failed ROLLBACK must not hide why: the full disk, not "no
        // transaction is active".
        db_->RollbackQuietly();
        throw;
    }
}

std::vector<HistoryRun> HistoryStore::Runs() const {
    return RunsWhere(false);
}

std::vector<HistoryRun> HistoryStore::Pending() const {
    // Only a history of the uid's schema can have any.
    return schema_ >= 5 ? RunsWhere(true) : std::vector<HistoryRun>{};
}

std::vector<HistoryRun> HistoryStore::RunsWhere(bool pendingOnly) const {
    // Older schemas, read as they stand, lack the later columns.
    std::string sql = schema_ >= 6 ? "SELECT id, started, seed, site, depth, rows, parallel, "
                                     "retries, ended, project, uid, recorded_by, pending_to, "
                                     "set_aside FROM runs "
                      : schema_ >= 5
                          ? "SELECT id, started, seed, site, depth, rows, parallel, "
                            "retries, ended, project, uid, recorded_by, '', '' FROM runs "
                      : schema_ >= 4 ? "SELECT id, started, seed, site, depth, rows, parallel, "
                                       "retries, ended, project, '', '', '', '' FROM runs "
                                     : "SELECT id, started, seed, site, depth, rows, parallel, "
                                       "retries, ended, 0, '', '', '', '' FROM runs ";
    if (pendingOnly) sql += "WHERE pending = 1 ";
    sql += "ORDER BY started, id";
    Statement q(*db_, sql.c_str());
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
        r.project = q.Integer(9);
        r.uid = q.Text(10);
        r.recordedBy = q.Text(11);
        r.pendingTo = q.Text(12);
        r.setAside = q.Text(13);
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
    // A history of an older schema, read as it stands, has none.
    if (schema_ >= 3) {
        Statement top(*db_,
                      "SELECT position, place, url, host FROM top_results WHERE run = ? "
                      "ORDER BY position, place");
        top.Bind(1, id);
        std::vector<TopResult> results;
        int64_t position = 0;
        const auto keep = [&] {
            if (position >= 1 && static_cast<size_t>(position) <= rows.size())
                rows[static_cast<size_t>(position) - 1].SetTop(std::move(results));
            results.clear();
        };
        while (top.Step()) {
            if (top.Integer(0) != position) keep();
            position = top.Integer(0);
            results.push_back({static_cast<int>(top.Integer(1)), top.Text(2), top.Text(3)});
        }
        keep();
    }
    table.ReplaceRows(std::move(rows));
    return true;
}

bool HistoryStore::Delete(int64_t id) {
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    Statement q(*db_, "DELETE FROM runs WHERE id = ?");
    q.Bind(1, id).Run();
    return sqlite3_changes(db_->Handle()) > 0;
}

void HistoryStore::Clear() {
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    db_->Execute("DELETE FROM runs");
}

std::vector<TermPoint> HistoryStore::TermHistory(std::string_view term) const {
    // A history of the first schema, read as it is, matches by ASCII case.
    const bool folded = schema_ >= 2;
    Statement q(*db_, folded ? "SELECT runs.started, runs.id, demand, competition, cost, rank, "
                               "profitability, prospects FROM rows JOIN runs ON runs.id = "
                               "rows.run WHERE coalesce(term_key, term) = ? "
                               "ORDER BY runs.started, runs.id, rows.position"
                             : "SELECT runs.started, runs.id, demand, competition, cost, rank, "
                               "profitability, prospects FROM rows JOIN runs ON runs.id = "
                               "rows.run WHERE lower(term) = ? "
                               "ORDER BY runs.started, runs.id, rows.position");
    q.Bind(1, folded ? FoldCase(term) : LowerAscii(term));
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
    return "the research history was damaged; it is kept as " + PrintableName(setAside) +
           " and a new one was started";
}

std::vector<ResultRow> RowsOf(const ResultsTable& table) {
    std::vector<ResultRow> rows;
    rows.reserve(static_cast<size_t>(table.Count()));
    for (int i = 0; i < table.Count(); ++i) rows.push_back(table.At(i));
    return rows;
}

}  // namespace vx
