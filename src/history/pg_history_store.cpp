#include "history/pg_history_store.h"

#include <charconv>

#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/service_request.h"
#include "core/text.h"
#include "core/url.h"
#include "history/row_figures.h"
#include "results/service_address.h"

namespace vx {

namespace {

// Any number, the same for every client: upgrades wait for each other.
constexpr const char* kUpgradeLock = "SELECT pg_advisory_xact_lock(7420151)";

// Step k takes a history from version k to k + 1.
constexpr const char* kSteps[] = {
    R"(CREATE TABLE runs (
         id bigserial PRIMARY KEY,
         uid text NOT NULL UNIQUE,
         started text NOT NULL,
         seed text NOT NULL,
         site text NOT NULL,
         depth text NOT NULL,
         rows integer NOT NULL,
         parallel integer NOT NULL,
         retries integer NOT NULL,
         ended text NOT NULL,
         project bigint,
         recorded_by text NOT NULL DEFAULT '');
       CREATE INDEX runs_by_started ON runs (started, id);
       CREATE INDEX runs_by_project ON runs (project, started) WHERE project IS NOT NULL;
       CREATE TABLE rows (
         run bigint NOT NULL REFERENCES runs (id) ON DELETE CASCADE,
         position integer NOT NULL,
         term text NOT NULL,
         term_key text NOT NULL,
         demand text, competition text, cost text, rank text, profitability text,
         prospects text,
         checked boolean NOT NULL,
         demand_n bigint, competition_n bigint, rank_n bigint,
         cost_n double precision, profitability_n double precision,
         prospects_n double precision,
         PRIMARY KEY (run, position));
       CREATE INDEX rows_by_term_key ON rows (term_key);
       CREATE TABLE top_results (
         run bigint NOT NULL,
         position integer NOT NULL,
         place integer NOT NULL,
         url text NOT NULL,
         host text NOT NULL,
         PRIMARY KEY (run, position, place),
         FOREIGN KEY (run, position) REFERENCES rows (run, position) ON DELETE CASCADE);
       CREATE INDEX top_results_by_host ON top_results (host);
       CREATE TABLE projects (
         id bigserial PRIMARY KEY,
         name text NOT NULL UNIQUE,
         site text NOT NULL,
         depth text NOT NULL,
         suggest_service text NOT NULL DEFAULT '',
         search_service text NOT NULL DEFAULT '',
         interval_hours integer NOT NULL DEFAULT 24,
         last_check bigint);
       CREATE TABLE tracked_terms (
         project bigint NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
         term_key text NOT NULL,
         term text NOT NULL,
         ord bigint NOT NULL,
         paused boolean NOT NULL DEFAULT false,
         best_rank integer,
         PRIMARY KEY (project, term_key));)",
    // A term of any length: an index entry is bounded (about 2.7 KB), so
    // terms are found by a hash of their key, then the key itself.
    R"(DROP INDEX IF EXISTS rows_by_term_key;
       CREATE INDEX IF NOT EXISTS rows_by_term_hash ON rows (md5(term_key));)",
};
static_assert(std::size(kSteps) == PgHistoryStore::kSchemaVersion);

// libpq's messages run over several lines ("DETAIL", "HINT"): the first.
std::string FirstLine(const char* message) {
    std::string text = message ? message : "";
    if (const size_t end = text.find('\n'); end != std::string::npos) text.resize(end);
    if (text.rfind("ERROR:  ", 0) == 0) text.erase(0, 8);
    return std::string(TrimView(text, " \t\r"));
}

std::optional<std::string> Text(std::optional<int64_t> v) {
    return v ? std::optional<std::string>(std::to_string(*v)) : std::nullopt;
}

std::optional<std::string> Text(std::optional<double> v) {
    if (!v) return std::nullopt;
    // Never the C locale's decimal comma: the window runs under the user's.
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *v);
    return ec == std::errc() ? std::optional<std::string>(std::string(buf, end)) : std::nullopt;
}

}  // namespace

namespace {
// PostgreSQL keeps text as UTF-8 without NUL; a term may be neither (a
// Latin-1 page's, an edited file's). Such bytes travel as private-use
// characters U+F700 + byte, and so do the bytes of any such character
// already there, so what comes back is byte for byte what was recorded.
constexpr uint32_t kByteBase = 0xF700;

bool InByteRange(uint32_t cp) {
    return cp >= kByteBase && cp <= kByteBase + 0xFF;
}

std::string ToServerText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto [cp, n] = Utf8SequenceAt(text, i);
        if (n > 0 && cp != 0 && !InByteRange(cp)) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        // A NUL, a byte of no sequence, or each byte of an escaping character.
        const size_t bytes = n > 0 && cp != 0 ? n : 1;
        for (size_t k = 0; k < bytes; ++k)
            AppendUtf8(out, kByteBase + static_cast<unsigned char>(text[i + k]));
        i += bytes;
    }
    return out;
}

std::string FromServerText(std::string_view text) {
    if (text.find("\xEF\x9C") == std::string_view::npos &&
        text.find("\xEF\x9D") == std::string_view::npos &&
        text.find("\xEF\x9E") == std::string_view::npos &&
        text.find("\xEF\x9F") == std::string_view::npos)
        return std::string(text);
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto [cp, n] = Utf8SequenceAt(text, i);
        if (n > 0 && InByteRange(cp)) {
            out += static_cast<char>(cp - kByteBase);
            i += n;
        } else {
            out += text[i++];
        }
    }
    return out;
}
}  // namespace

// A result freed however the caller leaves.
class PgHistoryStore::Result {
  public:
    explicit Result(PGresult* r) : r_(r, PQclear) {}
    int Rows() const { return PQntuples(r_.get()); }
    int Columns() const { return PQnfields(r_.get()); }
    std::string Text(int row, int column) const {
        return FromServerText(
            std::string_view(PQgetvalue(r_.get(), row, column),
                             static_cast<size_t>(PQgetlength(r_.get(), row, column))));
    }
    bool IsNull(int row, int column) const { return PQgetisnull(r_.get(), row, column) != 0; }
    int64_t Integer(int row, int column) const {
        return IsNull(row, column) ? 0 : std::stoll(Text(row, column));
    }

  private:
    std::unique_ptr<PGresult, void (*)(PGresult*)> r_;
};

int HistoryWaitMs() {
    if (const char* text = std::getenv("VEXORIN_HISTORY_WAIT_MS"))
        if (const auto ms = ReadWholeNumber(text); ms && *ms >= 100 && *ms <= 600000) return *ms;
    return 30000;
}

std::string HistoryUrlWithoutPassword(const std::string& url) {
    if (const auto parsed = ParseUrl(url)) return parsed->WithoutPassword();
    // One that does not read is shown without its user info, whatever that holds.
    const size_t scheme = url.find("://"), at = url.rfind('@');
    if (scheme == std::string::npos || at == std::string::npos || at < scheme) return url;
    return url.substr(0, scheme + 3) + url.substr(at + 1);
}

namespace {
struct Destination {
    std::string host, port, dbname, user;
};
Destination DestinationOf(const std::string& url) {
    Destination d;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &error);
    if (!options) {
        PQfreemem(error);
        d.host = url;
        return d;
    }
    for (const PQconninfoOption* o = options; o->keyword; ++o) {
        const std::string value = o->val ? o->val : "";
        const std::string key = o->keyword;
        if (key == "host" || (key == "hostaddr" && d.host.empty())) d.host = value;
        if (key == "port") d.port = value;
        if (key == "dbname") d.dbname = value;
        if (key == "user") d.user = value;
    }
    PQconninfoFree(options);
    // libpq's own defaults: the local socket, 5432, a database named as its user.
    if (d.host.empty()) d.host = "localhost";
    if (d.port.empty()) d.port = "5432";
    if (d.dbname.empty()) d.dbname = d.user;
    d.host = LowerAscii(d.host);
    return d;
}
}  // namespace

std::string HistoryDestination(const std::string& url) {
    const Destination d = DestinationOf(url);
    return d.port.empty() ? d.host : d.host + ":" + d.port + "/" + d.dbname;
}

std::string HistoryPasswordServer(const std::string& url) {
    return DestinationOf(url).user + "@" + HistoryDestination(url);
}

PgHistoryStore::PgHistoryStore(const std::string& url, Use use,
                               const std::optional<std::string>& password)
    : use_(use), shown_(HistoryUrlWithoutPassword(url)) {
    // Every wait bounded: connecting, each statement, each lock (a table
    // another session holds), a transaction left open, and a link that died
    // without a word (keepalives). A wait that runs out is an error the run
    // is kept on this computer for.
    const std::string options =
        "-c statement_timeout=" + std::to_string(HistoryWaitMs()) +
        " -c lock_timeout=" + std::to_string(HistoryWaitMs() / 3 + 1) +
        " -c idle_in_transaction_session_timeout=" + std::to_string(2 * HistoryWaitMs());
    const char* keys[] = {
        "dbname",          "connect_timeout",     "application_name", "options",  "keepalives",
        "keepalives_idle", "keepalives_interval", "keepalives_count", "password", nullptr};
    const char* values[] = {url.c_str(),
                            "5",
                            "vexorin",
                            options.c_str(),
                            "1",
                            "10",
                            "5",
                            "3",
                            password ? password->c_str() : nullptr,
                            nullptr};
    if (!password) keys[8] = nullptr;
    conn_ = PQconnectdbParams(keys, values, 1);
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
        // libpq quotes a URL it cannot read, password and all.
        const std::string why = MaskSecrets(
            FirstLine(conn_ ? PQerrorMessage(conn_) : "out of memory"), PasswordsInUrl(url));
        if (conn_) PQfinish(conn_);
        conn_ = nullptr;
        // A URL libpq cannot read, a refused password or database: an
        // answer, not an absence.
        if (why.find("URI") != std::string::npos ||
            why.find("invalid connection option") != std::string::npos)
            throw HistoryError("the shared history URL " + shown_ +
                               " is not one libpq reads: " + why);
        if (why.find("authentication failed") != std::string::npos ||
            why.find("does not exist") != std::string::npos ||
            why.find("no password supplied") != std::string::npos ||
            why.find("invalid") != std::string::npos)
            throw HistoryError("the shared history " + shown_ + " refused: " + why);
        throw HistoryUnreachable("the shared history " + shown_ + " cannot be reached: " + why);
    }
    // Notices (a table already there) are not the user's business.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    try {
        // Only a history missing or older is made or upgraded: a member with
        // row rights alone records into one of today's schema.
        if (const int v = SchemaOnServer(); use_ == Use::Write && v < kSchemaVersion) {
            Upgrade();
        } else if (v > kSchemaVersion) {
            throw HistoryError("the shared history was written by a newer Vexorin (schema " +
                               std::to_string(v) + ")");
        }
    } catch (...) {
        PQfinish(conn_);
        conn_ = nullptr;
        throw;
    }
}

PgHistoryStore::~PgHistoryStore() {
    if (conn_) PQfinish(conn_);
}

void PgHistoryStore::Fail(const std::string& doing, const char* message) const {
    const std::string why = FirstLine(message);
    if (PQstatus(conn_) != CONNECTION_OK)
        throw HistoryUnreachable("the shared history " + shown_ + " went away while " + doing +
                                 ": " + why);
    throw HistoryError("the shared history " + shown_ + ": " + doing + ": " + why);
}

PgHistoryStore::Result PgHistoryStore::Exec(
    const char* sql, const std::vector<std::optional<std::string>>& params) const {
    std::vector<std::string> texts;
    texts.reserve(params.size());
    std::vector<const char*> values;
    for (const auto& p : params) {
        if (p) texts.push_back(ToServerText(*p));
        values.push_back(p ? texts.back().c_str() : nullptr);
    }
    PGresult* raw = PQexecParams(conn_, sql, static_cast<int>(values.size()), nullptr,
                                 values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(raw);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const std::string message = raw ? PQresultErrorMessage(raw) : PQerrorMessage(conn_);
        PQclear(raw);
        Fail("asking", message.c_str());
    }
    return Result(raw);
}

std::vector<PgHistoryStore::Row> PgHistoryStore::Query(
    const char* sql, const std::vector<std::optional<std::string>>& params) const {
    const Result r = Exec(sql, params);
    std::vector<Row> rows(static_cast<size_t>(r.Rows()));
    for (int i = 0; i < r.Rows(); ++i)
        for (int c = 0; c < r.Columns(); ++c)
            rows[static_cast<size_t>(i)].push_back(
                r.IsNull(i, c) ? std::nullopt : std::optional<std::string>(r.Text(i, c)));
    return rows;
}

bool PgHistoryStore::TryCheckLock() {
    return Exec("SELECT pg_try_advisory_lock(7420152)").Text(0, 0) == "t";
}

int PgHistoryStore::SchemaOnServer() const {
    // A database without the table holds a history not made yet.
    if (Exec("SELECT to_regclass('vexorin_meta') IS NOT NULL").Text(0, 0) != "t") return 0;
    const Result v = Exec("SELECT value FROM vexorin_meta WHERE key = 'schema'");
    return v.Rows() ? std::atoi(v.Text(0, 0).c_str()) : 0;
}

void PgHistoryStore::Upgrade() {
    const auto run = [this](const char* sql, const char* doing) {
        PGresult* r = PQexec(conn_, sql);
        const ExecStatusType s = PQresultStatus(r);
        const std::string message = PQresultErrorMessage(r);
        PQclear(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
            PQclear(PQexec(conn_, "ROLLBACK"));
            if (message.find("permission denied") != std::string::npos)
                throw HistoryError("the shared history " + shown_ +
                                   ": the database user may not make the history's tables (" +
                                   FirstLine(message.c_str()) +
                                   "); see the rights a team's user needs");
            Fail(doing, message.c_str());
        }
    };
    run("BEGIN", "upgrading");
    run(kUpgradeLock, "waiting for another client's upgrade");
    run("CREATE TABLE IF NOT EXISTS vexorin_meta (key text PRIMARY KEY, value text NOT NULL)",
        "upgrading");
    Result version = Exec("SELECT value FROM vexorin_meta WHERE key = 'schema'");
    int v = version.Rows() ? std::atoi(version.Text(0, 0).c_str()) : 0;
    if (v > kSchemaVersion) {
        PQclear(PQexec(conn_, "ROLLBACK"));
        throw HistoryError("the shared history was written by a newer Vexorin (schema " +
                           std::to_string(v) + ")");
    }
    for (; v < kSchemaVersion; ++v) run(kSteps[v], "upgrading");
    Result mark = Exec(
        "INSERT INTO vexorin_meta (key, value) VALUES ('schema', $1) "
        "ON CONFLICT (key) DO UPDATE SET value = excluded.value",
        {std::to_string(v)});
    run("COMMIT", "upgrading");
}

int64_t PgHistoryStore::Record(HistoryRun run, const std::vector<ResultRow>& rows) {
    if (rows.empty()) return 0;
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    if (run.uid.empty()) run.uid = NewRunUid();
    if (run.recordedBy.empty()) run.recordedBy = RecordedByHere();
    // Any failure ends the transaction: nothing half-written.
    const auto exec = [this](const char* sql, const std::vector<std::optional<std::string>>& p) {
        try {
            return Exec(sql, p);
        } catch (...) {
            if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
            throw;
        }
    };
    exec("BEGIN", {});
    Result inserted = exec(
        "INSERT INTO runs (uid, started, seed, site, depth, rows, parallel, retries, ended, "
        "project, recorded_by) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) "
        "ON CONFLICT (uid) DO NOTHING RETURNING id",
        {run.uid, run.started, run.seed, run.site, run.depth, std::to_string(rows.size()),
         std::to_string(run.parallel), std::to_string(run.retries), run.ended,
         run.project ? std::optional<std::string>(std::to_string(run.project)) : std::nullopt,
         run.recordedBy});
    if (inserted.Rows() == 0) {
        // Sent before: the run is there once.
        Result known = exec("SELECT id FROM runs WHERE uid = $1", {run.uid});
        exec("COMMIT", {});
        return known.Rows() ? known.Integer(0, 0) : 0;
    }
    const std::string id = inserted.Text(0, 0);
    const char sep = run.decimalSeparator;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ResultRow& r = rows[i];
        const std::string position = std::to_string(i + 1);
        std::vector<std::optional<std::string>> p = {id, position, std::string(r.KeyTerm()),
                                                     FoldCase(r.KeyTerm())};
        for (int c = 1; c < kColumnCount; ++c) p.emplace_back(std::string(r.Text(c)));
        p.emplace_back(r.checked ? "true" : "false");
        p.push_back(Text(WholeFigure(r.Text(colDemand))));
        p.push_back(Text(WholeFigure(r.Text(colCompetition))));
        p.push_back(Text(WholeFigure(r.Text(colRank))));
        p.push_back(Text(DecimalFigure(r.Text(colCost), sep)));
        p.push_back(Text(DecimalFigure(r.Text(colProfitability), sep)));
        p.push_back(Text(DecimalFigure(r.Text(colProspects), sep)));
        exec(
            "INSERT INTO rows (run, position, term, term_key, demand, competition, cost, rank, "
            "profitability, prospects, checked, demand_n, competition_n, rank_n, cost_n, "
            "profitability_n, prospects_n) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, "
            "$11, $12, $13, $14, $15, $16, $17)",
            p);
        for (const TopResult& t : r.Top())
            exec(
                "INSERT INTO top_results (run, position, place, url, host) "
                "VALUES ($1, $2, $3, $4, $5)",
                {id, position, std::to_string(t.position), t.url, t.host});
    }
    exec("COMMIT", {});
    return std::stoll(id);
}

std::vector<HistoryRun> PgHistoryStore::Runs() const {
    std::vector<HistoryRun> runs;
    if (SchemaOnServer() == 0) return runs;  // not made yet
    Result q = Exec(
        "SELECT id, started, seed, site, depth, rows, parallel, retries, ended, project, uid, "
        "recorded_by FROM runs ORDER BY started, id");
    for (int i = 0; i < q.Rows(); ++i) {
        HistoryRun r;
        r.id = q.Integer(i, 0);
        r.started = q.Text(i, 1);
        r.seed = q.Text(i, 2);
        r.site = q.Text(i, 3);
        r.depth = q.Text(i, 4);
        r.rows = static_cast<int>(q.Integer(i, 5));
        r.parallel = static_cast<int>(q.Integer(i, 6));
        r.retries = static_cast<int>(q.Integer(i, 7));
        r.ended = q.Text(i, 8);
        r.project = q.Integer(i, 9);
        r.uid = q.Text(i, 10);
        r.recordedBy = q.Text(i, 11);
        runs.push_back(std::move(r));
    }
    if (PQstatus(conn_) != CONNECTION_OK) Fail("listing runs", PQerrorMessage(conn_));
    return runs;
}

bool PgHistoryStore::Load(int64_t id, ResultsTable& table) const {
    if (SchemaOnServer() == 0) return false;
    const std::string run = std::to_string(id);
    if (Exec("SELECT 1 FROM runs WHERE id = $1", {run}).Rows() == 0) return false;
    Result q = Exec(
        "SELECT term, demand, competition, cost, rank, profitability, prospects, checked "
        "FROM rows WHERE run = $1 ORDER BY position",
        {run});
    std::vector<ResultRow> rows;
    for (int i = 0; i < q.Rows(); ++i) {
        std::vector<std::string> texts;
        for (int c = 1; c < kColumnCount; ++c) texts.push_back(q.Text(i, c));
        rows.emplace_back(q.Text(i, 0), texts, q.Text(i, 7) == "t");
    }
    Result top = Exec(
        "SELECT position, place, url, host FROM top_results WHERE run = $1 "
        "ORDER BY position, place",
        {run});
    std::vector<std::vector<TopResult>> tops(rows.size());
    for (int i = 0; i < top.Rows(); ++i) {
        const int64_t position = top.Integer(i, 0);
        if (position < 1 || static_cast<size_t>(position) > rows.size()) continue;
        tops[static_cast<size_t>(position) - 1].push_back(
            {static_cast<int>(top.Integer(i, 1)), top.Text(i, 2), top.Text(i, 3)});
    }
    for (size_t i = 0; i < rows.size(); ++i) rows[i].SetTop(std::move(tops[i]));
    if (PQstatus(conn_) != CONNECTION_OK) Fail("reading a run", PQerrorMessage(conn_));
    table.ReplaceRows(std::move(rows));
    return true;
}

bool PgHistoryStore::Delete(int64_t id) {
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    return Exec("DELETE FROM runs WHERE id = $1 RETURNING id", {std::to_string(id)}).Rows() > 0;
}

void PgHistoryStore::Clear() {
    if (use_ != Use::Write) throw HistoryError("the history was opened for reading");
    Exec("DELETE FROM runs");
}

std::vector<TermPoint> PgHistoryStore::TermHistory(std::string_view term) const {
    std::vector<TermPoint> points;
    if (SchemaOnServer() == 0) return points;
    Result q = Exec(
        "SELECT runs.started, runs.id, demand, competition, cost, rank, profitability, "
        "prospects FROM rows JOIN runs ON runs.id = rows.run "
        "WHERE md5(term_key) = md5($1) AND term_key = $1 "
        "ORDER BY runs.started, runs.id, rows.position",
        {FoldCase(term)});
    for (int i = 0; i < q.Rows(); ++i) {
        const int64_t run = q.Integer(i, 1);
        if (!points.empty() && points.back().run == run) continue;
        TermPoint p{q.Text(i, 0), run, {}};
        for (int c = 2; c < 8; ++c) p.texts.push_back(q.Text(i, c));
        points.push_back(std::move(p));
    }
    if (PQstatus(conn_) != CONNECTION_OK) Fail("reading a term's runs", PQerrorMessage(conn_));
    return points;
}

}  // namespace vx
