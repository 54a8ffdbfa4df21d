#include "history/history_choice.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <unordered_set>

#include "history/pg_history_store.h"
#include "history/project_store.h"
#include "results/service_address.h"
#include "secrets/secret_store.h"

namespace vx {

namespace {
// The keyring's password for the shared history at url, when libpq's own
// places hold none (never in the settings store), and only for the server
// it was kept for: a URL changed to another server must not receive it.
std::optional<std::string> KeptPassword(const std::string& url) {
    if (!PasswordsInUrl(url).empty()) return std::nullopt;
    // Taken out of the environment so that no child inherits it: libpq no
    // longer finds it there, so it is given as libpq would have taken it.
    if (auto variable = KeptVariable("PGPASSWORD")) return variable;
    const KeptSecret kept = FindSecret("history_password");
    const std::string server = HistoryPasswordServer(url);
    if (kept.Found() && (kept.fromEnvironment || kept.server == server)) return kept.value;
    // libpq's password file may hold this server's.
    const char* file = std::getenv("PGPASSFILE");
    const char* home = std::getenv("HOME");
    struct stat st {};
    if ((file && *file && ::stat(file, &st) == 0) ||
        (home && ::stat((std::string(home) + "/.pgpass").c_str(), &st) == 0))
        return std::nullopt;
    if (kept.Found())
        throw HistoryError(
            "the keyring's history_password was not sent to " + server + ": it belongs to " +
            (kept.server.empty() ? "no server named when it was kept" : kept.server) +
            " (keep this server's password in Preferences, or give it in ~/.pgpass or "
            "PGPASSWORD)");
    if (const std::string trouble = KeyringTrouble("history_password", kept); !trouble.empty())
        throw HistoryUnreachable("the shared history's password cannot be had: " + trouble);
    return std::nullopt;
}
}  // namespace

std::string HistoryUrlFromEnvironment() {
    return KeptVariable("VEXORIN_HISTORY_URL").value_or("");
}

std::string HistoryWhere(const Preferences& preferences) {
    if (std::string url = HistoryUrlFromEnvironment(); !url.empty()) return url;
    return IsSharedHistoryUrl(preferences.historyUrl) ? preferences.historyUrl
                                                      : HistoryStore::DefaultPath();
}

bool IsSharedHistoryUrl(const std::string& url) {
    return url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0;
}

std::unique_ptr<RunHistory> OpenHistory(const std::string& where, bool forWriting) {
    if (IsSharedHistoryUrl(where))
        return std::make_unique<PgHistoryStore>(
            where, forWriting ? PgHistoryStore::Use::Write : PgHistoryStore::Use::Read,
            KeptPassword(where));
    return std::make_unique<HistoryStore>(
        where.empty() ? HistoryStore::DefaultPath() : where,
        forWriting ? HistoryStore::Use::Write : HistoryStore::Use::Read);
}

namespace {
// Each tracking project of from in to, by name (made there when missing,
// its terms added): from's project ids to to's. A history that keeps no
// projects gives none.
std::map<int64_t, int64_t> CopyProjects(RunHistory& from, RunHistory& to) {
    std::map<int64_t, int64_t> ids;
    std::vector<TrackingProject> projects;
    std::unique_ptr<ProjectStore> source;
    try {
        source = ProjectsOf(from);
        projects = source->Projects();
    } catch (const HistoryError&) {
        return ids;
    }
    if (projects.empty()) return ids;
    const std::unique_ptr<ProjectStore> target = ProjectsOf(to);
    for (const TrackingProject& p : projects) {
        const std::optional<TrackingProject> there = target->Find(p.name);
        TrackingProject copy = p;
        copy.id = 0;
        const int64_t id = there ? there->id : target->Save(copy);
        std::vector<std::string> terms, paused;
        for (const TrackedTerm& t : source->Terms(p.id, 1)) {
            terms.push_back(t.term);
            if (t.paused) paused.push_back(t.term);
        }
        target->AddTerms(id, terms);
        if (!there)
            for (const std::string& t : paused) target->SetPaused(id, t, true);
        if (p.lastCheck && (!there || !there->lastCheck || *there->lastCheck < *p.lastCheck))
            target->MarkChecked(id, *p.lastCheck);
        ids[p.id] = id;
    }
    return ids;
}
}  // namespace

int CopyHistory(RunHistory& from, RunHistory& to) {
    // Runs belong to copies of their own projects, never to whichever
    // project has the same number there.
    const std::map<int64_t, int64_t> projects = CopyProjects(from, to);
    std::unordered_set<std::string> there;
    for (const HistoryRun& r : to.Runs()) there.insert(r.uid);
    int copied = 0;
    std::unique_ptr<ProjectStore> target;
    for (HistoryRun run : from.Runs()) {
        if (!run.uid.empty() && there.count(run.uid)) continue;
        const int64_t id = run.id;
        run.id = 0;
        const auto project = projects.find(run.project);
        run.project = project == projects.end() ? 0 : project->second;
        const int64_t copiedId = to.Record(run, from.RowsOfRun(id));
        if (!copiedId) continue;
        ++copied;
        if (run.project) {
            if (!target) target = ProjectsOf(to);
            target->KeepBest(run.project, copiedId);
        }
    }
    return copied;
}

namespace {
// Sends the runs waiting here for the shared history at url (and those kept
// before runs knew where they were going) through a connection already
// open. A run it refuses for a lasting reason is set aside with the reason
// and the rest go on; a server that goes away ends the sending.
Sent SendWaiting(PgHistoryStore& shared, const std::string& url, bool setAsideToo) {
    Sent out;
    // Nothing was ever kept here: no file to make for it.
    struct stat st {};
    if (::stat(HistoryStore::DefaultPath().c_str(), &st) != 0) return out;
    HistoryStore local(HistoryStore::DefaultPath(), HistoryStore::Use::Write);
    const std::string destination = HistoryDestination(url);
    for (HistoryRun run : local.Pending()) {
        if (!run.pendingTo.empty() && HistoryDestination(run.pendingTo) != destination) continue;
        if (!run.setAside.empty() && !setAsideToo) continue;
        const int64_t id = run.id;
        run.id = 0;
        try {
            // Its uid makes a second sending (after a lost answer) add nothing.
            const int64_t there = shared.Record(run, local.RowsOfRun(id));
            // A tracking check kept here: its project's best ranks follow it.
            if (run.project && there) ProjectsOf(shared)->KeepBest(run.project, there);
        } catch (const HistoryUnreachable&) {
            throw;
        } catch (const HistoryError& e) {
            local.SetAside(id, e.what());
            out.setAside.push_back("the run of " + run.started + " (" + run.seed +
                                   ") waits on this computer, set aside: " + e.what());
            continue;
        }
        local.MarkSent(id);
        ++out.sent;
    }
    return out;
}
}  // namespace

Sent SendWaitingRuns(const std::string& url) {
    PgHistoryStore shared(url, PgHistoryStore::Use::Write, KeptPassword(url));
    return SendWaiting(shared, url, true);
}

std::vector<HistoryRun> WaitingRuns() {
    struct stat st {};
    if (::stat(HistoryStore::DefaultPath().c_str(), &st) != 0) return {};
    return HistoryStore(HistoryStore::DefaultPath(), HistoryStore::Use::Read).Pending();
}

std::vector<std::string> WaitingDestinations() {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const HistoryRun& run : WaitingRuns())
        if (!run.pendingTo.empty() && seen.insert(HistoryDestination(run.pendingTo)).second)
            out.push_back(run.pendingTo);
    return out;
}

Recorded RecordShared(const std::string& url, const HistoryRun& given,
                      const std::vector<ResultRow>& rows) {
    Recorded out;
    HistoryRun run = given;
    if (run.uid.empty()) run.uid = NewRunUid();
    if (run.recordedBy.empty()) run.recordedBy = RecordedByHere();
    std::unique_ptr<PgHistoryStore> shared;
    try {
        shared =
            std::make_unique<PgHistoryStore>(url, PgHistoryStore::Use::Write, KeptPassword(url));
        out.id = shared->Record(run, rows);
    } catch (const HistoryError& e) {
        // Away, refusing, newer or without rights: the run is never lost.
        HistoryStore local(HistoryStore::DefaultPath(), HistoryStore::Use::Write);
        out.id = local.RecordPending(run, rows, HistoryUrlWithoutPassword(url));
        out.keptHere = true;
        out.notice = std::string(e.what()) +
                     "; the run is kept on this computer and sent by --history-sync or the next "
                     "run once it can be";
        return out;
    }
    try {
        const Sent sent = SendWaiting(*shared, url, false);
        for (const std::string& said : sent.setAside)
            out.notice += (out.notice.empty() ? "" : "; ") + said;
    } catch (const HistoryError&) {
        // Sent next time; this run is in.
    }
    return out;
}

}  // namespace vx
