#include "history/pg_project_store.h"

#include <algorithm>
#include <unordered_map>

#include "core/text.h"

namespace vx {

namespace {

using Row = PgHistoryStore::Row;

constexpr const char* kProjectColumns =
    "SELECT id, name, site, depth, suggest_service, search_service, interval_hours, last_check, "
    "(SELECT count(*) FROM tracked_terms WHERE project = projects.id) FROM projects ";

int64_t Number(const std::optional<std::string>& text) {
    return text ? std::stoll(*text) : 0;
}

TrackingProject ProjectOf(const Row& r) {
    TrackingProject p;
    p.id = Number(r[0]);
    p.name = r[1].value_or("");
    p.site = r[2].value_or("");
    p.depth = r[3].value_or("");
    p.suggestService = r[4].value_or("");
    p.searchService = r[5].value_or("");
    p.intervalHours = static_cast<int>(Number(r[6]));
    if (r[7]) p.lastCheck = static_cast<std::time_t>(Number(r[7]));
    p.terms = static_cast<int>(Number(r[8]));
    return p;
}

}  // namespace

PgProjectStore::PgProjectStore(PgHistoryStore& history) : history_(history) {}

void PgProjectStore::NeedWriter() const {
    if (!history_.Writable()) throw HistoryError("the history was opened for reading");
}

template <class Action>
void PgProjectStore::InTransaction(Action action) {
    history_.Query("BEGIN");
    try {
        action();
        history_.Query("COMMIT");
    } catch (...) {
        try {
            history_.Query("ROLLBACK");
        } catch (const HistoryError&) {
            // The error that made it necessary is the one to tell.
        }
        throw;
    }
}

std::vector<TrackingProject> PgProjectStore::Projects() const {
    std::vector<TrackingProject> out;
    if (!history_.Made()) return out;
    for (const Row& r : history_.Query((std::string(kProjectColumns) + "ORDER BY name").c_str()))
        out.push_back(ProjectOf(r));
    return out;
}

std::optional<TrackingProject> PgProjectStore::Find(std::string_view name) const {
    if (!history_.Made()) return std::nullopt;
    const auto rows = history_.Query((std::string(kProjectColumns) + "WHERE name = $1").c_str(),
                                     {std::string(name)});
    if (rows.empty()) return std::nullopt;
    return ProjectOf(rows[0]);
}

int64_t PgProjectStore::Save(const TrackingProject& project) {
    NeedWriter();
    const auto rows = history_.Query(
        "INSERT INTO projects (name, site, depth, suggest_service, search_service, "
        "interval_hours) VALUES ($1, $2, $3, $4, $5, $6) ON CONFLICT (name) DO UPDATE SET "
        "site = coalesce(nullif(excluded.site, ''), projects.site), "
        "depth = coalesce(nullif(excluded.depth, ''), projects.depth), "
        "suggest_service = excluded.suggest_service, search_service = excluded.search_service, "
        "interval_hours = excluded.interval_hours RETURNING id",
        {project.name, project.site, project.depth.empty() ? "3" : project.depth,
         project.suggestService, project.searchService,
         std::to_string(std::max(1, project.intervalHours))});
    return Number(rows.at(0)[0]);
}

bool PgProjectStore::Remove(std::string_view name) {
    NeedWriter();
    return !history_.Query("DELETE FROM projects WHERE name = $1 RETURNING id", {std::string(name)})
                .empty();
}

int PgProjectStore::AddTerms(int64_t project, const std::vector<std::string>& terms) {
    NeedWriter();
    int added = 0;
    const std::string id = std::to_string(project);
    InTransaction([&] {
        int64_t ord = Number(history_.Query(
            "SELECT coalesce(max(ord), 0) FROM tracked_terms WHERE project = $1", {id})[0][0]);
        for (const std::string& term : terms) {
            const std::string_view trimmed = TrimView(term, " \t\r\n");
            if (trimmed.empty()) continue;
            const auto made = history_.Query(
                "INSERT INTO tracked_terms (project, term_key, term, ord) VALUES ($1, $2, $3, $4) "
                "ON CONFLICT DO NOTHING RETURNING ord",
                {id, FoldCase(trimmed), std::string(trimmed), std::to_string(ord + 1)});
            if (!made.empty()) {
                ++ord;
                ++added;
            }
        }
    });
    return added;
}

int PgProjectStore::RemoveTerms(int64_t project, const std::vector<std::string>& terms) {
    NeedWriter();
    int removed = 0;
    InTransaction([&] {
        for (const std::string& term : terms)
            removed += static_cast<int>(
                history_
                    .Query("DELETE FROM tracked_terms WHERE project = $1 AND term_key = $2 "
                           "RETURNING ord",
                           {std::to_string(project), FoldCase(TrimView(term, " \t\r\n"))})
                    .size());
    });
    return removed;
}

void PgProjectStore::SetPaused(int64_t project, std::string_view term, bool paused) {
    NeedWriter();
    history_.Query("UPDATE tracked_terms SET paused = $1 WHERE project = $2 AND term_key = $3",
                   {paused ? "true" : "false", std::to_string(project), FoldCase(term)});
}

std::vector<std::string> PgProjectStore::ActiveTerms(int64_t project) const {
    std::vector<std::string> out;
    if (!history_.Made()) return out;
    for (const Row& r : history_.Query(
             "SELECT term FROM tracked_terms WHERE project = $1 AND NOT paused ORDER BY ord",
             {std::to_string(project)}))
        out.push_back(r[0].value_or(""));
    return out;
}

std::vector<TrackedTerm> PgProjectStore::Terms(int64_t project, int checks) const {
    std::vector<TrackedTerm> out;
    if (!history_.Made()) return out;
    std::unordered_map<std::string, size_t> byKey;
    const std::string id = std::to_string(project);
    for (const Row& r : history_.Query(
             "SELECT term_key, term, paused, best_rank FROM tracked_terms WHERE project = $1 "
             "ORDER BY ord",
             {id})) {
        TrackedTerm t;
        t.term = r[1].value_or("");
        t.paused = r[2] == std::optional<std::string>("t");
        if (r[3]) t.best = static_cast<int>(Number(r[3]));
        byKey.emplace(r[0].value_or(""), out.size());
        out.push_back(std::move(t));
    }
    // The last checks, oldest first, and their rows in one statement.
    std::vector<int64_t> runs;
    for (const Row& r : history_.Query("SELECT id FROM runs WHERE project = $1 "
                                       "ORDER BY started DESC, id DESC LIMIT $2",
                                       {id, std::to_string(checks)}))
        runs.push_back(Number(r[0]));
    std::reverse(runs.begin(), runs.end());
    for (TrackedTerm& t : out) t.recent.assign(runs.size(), std::nullopt);
    if (runs.empty()) return out;
    std::unordered_map<int64_t, size_t> slot;
    std::string list = "{";
    for (size_t i = 0; i < runs.size(); ++i) {
        slot[runs[i]] = i;
        list += (i ? "," : "") + std::to_string(runs[i]);
    }
    list += "}";
    for (const Row& r : history_.Query(
             "SELECT run, term_key, rank FROM rows WHERE run = ANY($1::bigint[])", {list})) {
        const auto at = byKey.find(r[1].value_or(""));
        if (at != byKey.end())
            out[at->second].recent[slot[Number(r[0])]] = RankOfText(r[2].value_or(""));
    }
    return out;
}

void PgProjectStore::KeepBest(int64_t project, int64_t run) {
    NeedWriter();
    // In one statement: each term's best the lower of its own and the run's.
    history_.Query(
        "UPDATE tracked_terms SET best_rank = rows.rank_n FROM rows WHERE rows.run = $2 AND "
        "tracked_terms.project = $1 AND tracked_terms.term_key = rows.term_key AND "
        "rows.rank_n > 0 AND (best_rank IS NULL OR best_rank > rows.rank_n)",
        {std::to_string(project), std::to_string(run)});
}

void PgProjectStore::MarkChecked(int64_t project, std::time_t when) {
    NeedWriter();
    history_.Query("UPDATE projects SET last_check = $1 WHERE id = $2",
                   {std::to_string(static_cast<int64_t>(when)), std::to_string(project)});
}

}  // namespace vx
