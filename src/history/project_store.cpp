#include "history/project_store.h"

#include <algorithm>
#include <unordered_map>

#include "core/text.h"
#include "history/pg_project_store.h"
#include "history/statement.h"

namespace vx {

namespace {

// Changes of several statements go in one transaction: all or nothing.
template <class Action>
void InTransaction(Database& db, Action action) {
    db.Execute("BEGIN IMMEDIATE");
    try {
        action();
        db.Execute("COMMIT");
    } catch (...) {
        db.RollbackQuietly();
        throw;
    }
}

TrackingProject ProjectOf(const Statement& q) {
    TrackingProject p;
    p.id = q.Integer(0);
    p.name = q.Text(1);
    p.site = q.Text(2);
    p.depth = q.Text(3);
    p.suggestService = q.Text(4);
    p.searchService = q.Text(5);
    p.intervalHours = static_cast<int>(q.Integer(6));
    if (!q.IsNull(7)) p.lastCheck = static_cast<std::time_t>(q.Integer(7));
    p.terms = static_cast<int>(q.Integer(8));
    return p;
}

constexpr const char* kProjectColumns =
    "SELECT id, name, site, depth, suggest_service, search_service, interval_hours, last_check, "
    "(SELECT count(*) FROM tracked_terms WHERE project = projects.id) FROM projects ";

}  // namespace

Rank RankOfText(std::string_view text) {
    if (text == "-") return kNotRanked;
    const auto n = ReadWholeNumber(text);
    if (n && *n > 0) return *n;
    return std::nullopt;
}

LocalProjectStore::LocalProjectStore(HistoryStore& history) : history_(history) {}

std::unique_ptr<ProjectStore> ProjectsOf(RunHistory& history) {
    if (auto* local = dynamic_cast<HistoryStore*>(&history))
        return std::make_unique<LocalProjectStore>(*local);
    if (auto* shared = dynamic_cast<PgHistoryStore*>(&history))
        return std::make_unique<PgProjectStore>(*shared);
    throw HistoryError("this history keeps no tracking projects");
}

void LocalProjectStore::NeedWriter() const {
    if (!history_.Writable()) throw HistoryError("the history was opened for reading");
}

std::vector<TrackingProject> LocalProjectStore::Projects() const {
    std::vector<TrackingProject> out;
    // A history from before tracking, read as it stands, has none.
    if (history_.Schema() < 4) return out;
    Statement q(history_.Connection(), (std::string(kProjectColumns) + "ORDER BY name").c_str());
    while (q.Step()) out.push_back(ProjectOf(q));
    return out;
}

std::optional<TrackingProject> LocalProjectStore::Find(std::string_view name) const {
    if (history_.Schema() < 4) return std::nullopt;
    Statement q(history_.Connection(), (std::string(kProjectColumns) + "WHERE name = ?").c_str());
    q.Bind(1, name);
    if (!q.Step()) return std::nullopt;
    return ProjectOf(q);
}

int64_t LocalProjectStore::Save(const TrackingProject& project) {
    NeedWriter();
    Database& db = history_.Connection();
    int64_t id = 0;
    InTransaction(db, [&] {
        Statement make(db,
                       "INSERT INTO projects (name, site, depth, suggest_service, search_service, "
                       "interval_hours) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (name) DO UPDATE SET "
                       "site = coalesce(nullif(excluded.site, ''), site), "
                       "depth = coalesce(nullif(excluded.depth, ''), depth), "
                       "suggest_service = excluded.suggest_service, "
                       "search_service = excluded.search_service, "
                       "interval_hours = excluded.interval_hours");
        make.Bind(1, project.name)
            .Bind(2, project.site)
            .Bind(3, project.depth.empty() ? std::string_view("3") : project.depth)
            .Bind(4, project.suggestService)
            .Bind(5, project.searchService)
            .Bind(6, static_cast<int64_t>(std::max(1, project.intervalHours)))
            .Run();
        Statement find(db, "SELECT id FROM projects WHERE name = ?");
        find.Bind(1, project.name).Step();
        id = find.Integer(0);
    });
    return id;
}

bool LocalProjectStore::Remove(std::string_view name) {
    NeedWriter();
    Statement q(history_.Connection(), "DELETE FROM projects WHERE name = ?");
    q.Bind(1, name).Run();
    return sqlite3_changes(history_.Connection().Handle()) > 0;
}

int LocalProjectStore::AddTerms(int64_t project, const std::vector<std::string>& terms) {
    NeedWriter();
    Database& db = history_.Connection();
    int added = 0;
    InTransaction(db, [&] {
        Statement last(db, "SELECT coalesce(max(ord), 0) FROM tracked_terms WHERE project = ?");
        last.Bind(1, project).Step();
        int64_t ord = last.Integer(0);
        Statement add(
            db,
            "INSERT INTO tracked_terms (project, term_key, term, ord) VALUES (?, ?, ?, ?) "
            "ON CONFLICT DO NOTHING");
        for (const std::string& term : terms) {
            const std::string_view trimmed = TrimView(term, " \t\r\n");
            if (trimmed.empty()) continue;
            add.Bind(1, project).Bind(2, FoldCase(trimmed)).Bind(3, trimmed).Bind(4, ord + 1);
            add.Run();
            if (sqlite3_changes(db.Handle()) > 0) {
                ++ord;
                ++added;
            }
        }
    });
    return added;
}

int LocalProjectStore::RemoveTerms(int64_t project, const std::vector<std::string>& terms) {
    NeedWriter();
    Database& db = history_.Connection();
    int removed = 0;
    InTransaction(db, [&] {
        Statement q(db, "DELETE FROM tracked_terms WHERE project = ? AND term_key = ?");
        for (const std::string& term : terms) {
            q.Bind(1, project).Bind(2, FoldCase(TrimView(term, " \t\r\n"))).Run();
            removed += sqlite3_changes(db.Handle());
        }
    });
    return removed;
}

void LocalProjectStore::SetPaused(int64_t project, std::string_view term, bool paused) {
    NeedWriter();
    Statement q(history_.Connection(),
                "UPDATE tracked_terms SET paused = ? WHERE project = ? AND term_key = ?");
    q.Bind(1, static_cast<int64_t>(paused)).Bind(2, project).Bind(3, FoldCase(term)).Run();
}

std::vector<std::string> LocalProjectStore::ActiveTerms(int64_t project) const {
    std::vector<std::string> out;
    if (history_.Schema() < 4) return out;
    Statement q(history_.Connection(),
                "SELECT term FROM tracked_terms WHERE project = ? AND paused = 0 ORDER BY ord");
    q.Bind(1, project);
    while (q.Step()) out.push_back(q.Text(0));
    return out;
}

std::vector<TrackedTerm> LocalProjectStore::Terms(int64_t project, int checks) const {
    std::vector<TrackedTerm> out;
    if (history_.Schema() < 4) return out;
    Database& db = history_.Connection();
    std::unordered_map<std::string, size_t> byKey;
    {
        Statement q(db,
                    "SELECT term_key, term, paused, best_rank FROM tracked_terms WHERE project = ? "
                    "ORDER BY ord");
        q.Bind(1, project);
        while (q.Step()) {
            TrackedTerm t;
            t.term = q.Text(1);
            t.paused = q.Integer(2) != 0;
            if (!q.IsNull(3)) t.best = static_cast<int>(q.Integer(3));
            byKey.emplace(q.Text(0), out.size());
            out.push_back(std::move(t));
        }
    }
    // The last checks through the project's index, then each one's rows by
    // their key: a year of daily checks reads only the checks shown.
    std::vector<int64_t> runs;
    {
        Statement q(db,
                    "SELECT id FROM runs WHERE project = ? ORDER BY started DESC, id DESC LIMIT ?");
        q.Bind(1, project).Bind(2, static_cast<int64_t>(checks));
        while (q.Step()) runs.push_back(q.Integer(0));
    }
    std::reverse(runs.begin(), runs.end());
    for (TrackedTerm& t : out) t.recent.assign(runs.size(), std::nullopt);
    for (size_t i = 0; i < runs.size(); ++i) {
        Statement q(db, "SELECT coalesce(term_key, term), rank FROM rows WHERE run = ?");
        q.Bind(1, runs[i]);
        while (q.Step()) {
            const auto at = byKey.find(q.Text(0));
            if (at != byKey.end()) out[at->second].recent[i] = RankOfText(q.Text(1));
        }
    }
    return out;
}

void LocalProjectStore::MarkChecked(int64_t project, std::time_t when) {
    NeedWriter();
    Statement q(history_.Connection(), "UPDATE projects SET last_check = ? WHERE id = ?");
    q.Bind(1, static_cast<int64_t>(when)).Bind(2, project).Run();
}

void LocalProjectStore::KeepBest(int64_t project, int64_t run) {
    NeedWriter();
    Database& db = history_.Connection();
    InTransaction(db, [&] {
        Statement best(db,
                       "UPDATE tracked_terms SET best_rank = ? WHERE project = ? AND term_key = ? "
                       "AND (best_rank IS NULL OR best_rank > ?)");
        Statement rows(db, "SELECT coalesce(term_key, term), rank FROM rows WHERE run = ?");
        rows.Bind(1, run);
        while (rows.Step()) {
            const Rank r = RankOfText(rows.Text(1));
            if (!r || *r == kNotRanked) continue;
            best.Bind(1, static_cast<int64_t>(*r))
                .Bind(2, project)
                .Bind(3, rows.Text(0))
                .Bind(4, static_cast<int64_t>(*r))
                .Run();
        }
    });
}

}  // namespace vx
