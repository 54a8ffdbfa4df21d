#include "tracking/project_check.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/text.h"
#include "history/history_choice.h"
#include "history/pg_history_store.h"

namespace vx {

bool IsDue(const TrackingProject& project, std::time_t now) {
    if (!project.lastCheck) return true;
    const std::time_t interval = static_cast<std::time_t>(project.intervalHours) * 3600;
    // A clock set back (or a check "from the future") makes it due too.
    return now < *project.lastCheck || now - *project.lastCheck >= interval - kDueSlackSeconds;
}

CheckSettings CheckSettingsFor(const Preferences& preferences) {
    CheckSettings settings;
    settings.policy = LookupPolicyFor(preferences);
    settings.movePlaces = preferences.movePlaces;
    return settings;
}

ChosenSources ServicesOf(const TrackingProject& project, const Preferences& preferences) {
    // A check asks for ranks and counts alone: the suggestion service, and
    // the secrets it would need, play no part.
    return ChooseServices(ParseServiceChoice("classic"), ParseServiceChoice(project.searchService),
                          preferences);
}

CheckReport CheckProject(RunHistory& history, const TrackingProject& project,
                         const CheckRunner& run, const CheckSettings& settings, std::time_t now) {
    const std::unique_ptr<ProjectStore> store = ProjectsOf(history);
    ProjectStore& projects = *store;
    CheckReport report;
    const std::vector<std::string> terms = projects.ActiveTerms(project.id);
    report.terms = static_cast<int>(terms.size());
    if (terms.empty()) {
        report.complete = true;
        projects.MarkChecked(project.id, now);
        return report;
    }
    const std::vector<TrackedTerm> before = projects.Terms(project.id);

    HeadlessResearch request;
    request.site = project.site;
    request.depthText = project.depth;
    request.policy = settings.policy;
    for (const std::string& t : terms) request.terms.push_back({t, ""});
    request.results = static_cast<int>(terms.size());
    ResultsTable table(settings.decimalSeparator);
    report.outcome = run(project, request, table);
    if (!report.outcome.walked) return report;

    // Only the terms whose rank was found: a row the stop cut short, or
    // whose pages failed, says nothing of it ("?").
    std::vector<ResultRow> finished;
    std::vector<std::pair<std::string, Rank>> after;
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        const Rank rank = RankOfText(row.Text(colRank));
        if (!rank) continue;
        finished.push_back(row);
        after.emplace_back(std::string(row.KeyTerm()), rank);
    }
    report.finished = static_cast<int>(finished.size());
    report.complete =
        !report.outcome.stopped && report.outcome.gaveUp.empty() && report.finished == report.terms;

    HistoryRun record;
    record.started = IsoUtc(now);
    record.seed = project.name;
    record.site = project.site;
    record.depth = project.depth;
    record.parallel = settings.policy.parallel;
    record.retries = settings.policy.retries;
    record.ended = report.outcome.stopped           ? kEndedStopped
                   : !report.outcome.gaveUp.empty() ? kEndedGaveUp
                                                    : kEndedDone;
    record.decimalSeparator = settings.decimalSeparator;
    record.project = project.id;
    try {
        report.run = history.Record(record, finished);
        if (report.run) projects.KeepBest(project.id, report.run);
        if (report.complete) projects.MarkChecked(project.id, now);
    } catch (const HistoryError& e) {
        // A shared history that went away during the check (its lock with
        // it) gets the check as every research run: through a connection of
        // its own, else kept on this computer and sent later; the project
        // stays due.
        if (history.SharedUrl().empty()) throw;
        const Recorded kept = RecordShared(history.SharedUrl(), record, finished);
        report.keptHere = kept.keptHere;
        report.notice = std::string("the shared history failed during the check (") + e.what() +
                        (kept.keptHere ? "); " + kept.notice : "); the check was recorded again");
        report.run = kept.keptHere ? 0 : kept.id;
    }
    report.moves = MovedTerms(before, after, settings.movePlaces);
    return report;
}

CheckLock::CheckLock(RunHistory& history, const std::string& where) {
    if (auto* shared = dynamic_cast<PgHistoryStore*>(&history)) {
        serverHeld_ = shared->TryCheckLock();
        return;
    }
    const std::string path =
        (where.empty() || IsSharedHistoryUrl(where) ? HistoryStore::DefaultPath() : where) +
        ".check-lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0)
        throw std::runtime_error("cannot make " + PrintableName(path) + ": " +
                                 std::strerror(errno));
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

CheckLock::~CheckLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::string CrontabLine() {
    // Hourly at a minute of its own, like the timer's randomized delay.
    return "17 * * * * vexorin-research --track";
}

}  // namespace vx
