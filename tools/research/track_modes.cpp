#include "track_modes.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/text.h"
#include "engine/host.h"
#include "history/history_choice.h"
#include "history/project_store.h"
#include "network_run.h"
#include "results/keyword_import.h"
#include "results/preferences.h"
#include "results/settings_store.h"
#include "results/table_print.h"
#include "session/desktop_notifier.h"
#include "session/user_timer.h"
#include "sources/service_choice.h"
#include "tracking/project_check.h"

namespace vx::tool {

namespace {

enum class Mode { None, Check, List, Add, Remove };

struct TrackOptions {
    Mode mode = Mode::None;
    std::string project;
    std::string site, depth, suggestService, searchService;
    std::optional<int> interval, parallel, retries;
    std::vector<std::string> imports, terms;
};

void Say(const std::string& text) {
    std::fprintf(stderr, "vexorin-research: %s\n", ShowableText(text).c_str());
}

// Nothing parsed as a mode: not ours. A mistake: said, exit code 2.
std::optional<TrackOptions> ReadTrackOptions(int argc, char** argv, bool* wrong) {
    TrackOptions o;
    const auto number = [&](const std::string& v, int low, int high, std::optional<int>& out) {
        const auto n = ReadWholeNumber(v);
        if (!n || *n < low || *n > high) return false;
        out = *n;
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const auto mode = [&](Mode m) {
            if (o.mode != Mode::None) return false;
            o.mode = m;
            return true;
        };
        bool ok = true;
        if (arg == "--track") {
            ok = mode(Mode::Check);
            if (hasValue && std::strncmp(argv[i + 1], "--", 2) != 0) o.project = argv[++i];
        } else if (arg == "--track-list") {
            ok = mode(Mode::List);
        } else if ((arg == "--track-add" || arg == "--track-remove") && hasValue) {
            ok = mode(arg == "--track-add" ? Mode::Add : Mode::Remove);
            o.project = argv[++i];
        } else if (arg == "--site" && hasValue) {
            o.site = argv[++i];
        } else if (arg == "--depth" && hasValue) {
            o.depth = argv[++i];
        } else if (arg == "--suggest-service" && hasValue) {
            o.suggestService = argv[++i];
        } else if (arg == "--search-service" && hasValue) {
            o.searchService = argv[++i];
        } else if (arg == "--import" && hasValue) {
            o.imports.push_back(argv[++i]);
        } else if (arg == "--interval" && hasValue) {
            ok = number(argv[++i], 1, 24 * 365, o.interval);
        } else if (arg == "--parallel" && hasValue) {
            ok = number(argv[++i], kMinParallel, kMaxParallel, o.parallel);
        } else if (arg == "--retries" && hasValue) {
            ok = number(argv[++i], kMinRetries, kMaxRetries, o.retries);
        } else if (arg.rfind("--", 0) != 0) {
            o.terms.push_back(arg);
        } else {
            ok = false;
        }
        if (!ok) *wrong = true;
    }
    if (o.mode == Mode::None) return std::nullopt;
    if ((!o.terms.empty() || !o.imports.empty()) && o.mode != Mode::Add && o.mode != Mode::Remove)
        *wrong = true;
    // A project is named by something a line can show.
    if ((o.mode == Mode::Add || o.mode == Mode::Remove) &&
        (TrimView(o.project, " \t").empty() ||
         o.project.find_first_of("\t\r\n") != std::string::npos))
        *wrong = true;
    return o;
}

std::string Terms(int n) {
    return std::to_string(n) + (n == 1 ? " term" : " terms");
}

std::string NextCheckText(const TrackingProject& p, std::time_t now) {
    if (IsDue(p, now)) return "due now";
    return "next check " + IsoUtc(*p.lastCheck + static_cast<std::time_t>(p.intervalHours) * 3600 -
                                  kDueSlackSeconds);
}

int List(ProjectStore& projects) {
    const std::time_t now = std::time(nullptr);
    for (const TrackingProject& p : projects.Projects()) {
        // Names and terms came from files and services: shown, never obeyed.
        std::printf("%s\t%s\t%s\t%s\n", EscapeField(p.name).c_str(), EscapeField(p.site).c_str(),
                    Terms(p.terms).c_str(), NextCheckText(p, now).c_str());
        for (const TrackedTerm& t : projects.Terms(p.id, 2)) {
            std::printf("%s\t%s\t%s\t%s\n", EscapeField(p.name).c_str(),
                        EscapeField(t.term).c_str(), RankText(t.Latest()).c_str(),
                        t.paused ? "paused" : ("best " + RankText(t.best)).c_str());
        }
    }
    // How the checks come, or how they could.
    const TimerState timer = QueryTrackTimer();
    if (!timer.available)
        Say(timer.why + "; to check every hour, add this line with crontab -e: " + CrontabLine());
    else if (!timer.enabled)
        Say("the hourly timer is off: systemctl --user enable --now " + std::string(kTrackTimer));
    else if (timer.next)
        Say("the hourly timer is on; it runs next at " + IsoUtc(*timer.next));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Add(ProjectStore& projects, const TrackOptions& o) {
    std::vector<std::string> terms = o.terms;
    for (const std::string& file : o.imports) {
        const KeywordList list = ReadKeywordListFile(file);
        if (!list) {
            Say("cannot import " + PrintableName(file) + ": " + list.error);
            return 1;
        }
        for (const ImportedTerm& t : list.terms) terms.push_back(t.term);
    }
    std::optional<TrackingProject> project = projects.Find(o.project);
    if (!project && TrimView(o.site, " \t").empty()) {
        Say("a new project needs its site: --site");
        return 2;
    }
    TrackingProject p = project.value_or(TrackingProject{});
    p.name = o.project;
    if (!o.site.empty()) p.site = o.site;
    if (!o.depth.empty()) p.depth = o.depth;
    if (!o.suggestService.empty()) p.suggestService = o.suggestService;
    if (!o.searchService.empty()) p.searchService = o.searchService;
    if (o.interval) p.intervalHours = *o.interval;
    const int64_t id = projects.Save(p);
    const int added = projects.AddTerms(id, terms);
    std::printf("%s: %s added, %zu tracked\n", p.name.c_str(), Terms(added).c_str(),
                projects.Terms(id, 0).size());
    return 0;
}

int Remove(ProjectStore& projects, const TrackOptions& o) {
    const std::optional<TrackingProject> project = projects.Find(o.project);
    if (!project) {
        Say("there is no tracking project " + o.project);
        return 1;
    }
    if (o.terms.empty()) {
        projects.Remove(o.project);
        std::printf("%s: removed, its checks stay in the history\n", o.project.c_str());
    } else {
        std::printf("%s: %s removed\n", o.project.c_str(),
                    Terms(projects.RemoveTerms(project->id, o.terms)).c_str());
    }
    return 0;
}

// Checks one project over the network, prints what moved and tells the
// desktop; false when its services could not be used or it gave up.
bool CheckOne(RunHistory& history, const TrackingProject& project, const TrackOptions& o,
              const Preferences& preferences, char sep) {
    CheckSettings settings = CheckSettingsFor(preferences);
    if (o.parallel) settings.policy.parallel = *o.parallel;
    if (o.retries) settings.policy.retries = *o.retries;
    settings.decimalSeparator = sep;
    bool usable = true;
    const CheckRunner run = [&](const TrackingProject& p, const HeadlessResearch& research,
                                ResultsTable& table) {
        HeadlessResearch request = research;
        request.sources = ServicesOf(p, preferences);
        // The addresses the window's research asks (the environment wins).
        request.hosts = ServiceHostsFor(preferences);
        if (!request.sources.error.empty()) {
            Say(p.name + ": " + request.sources.error);
            usable = false;
            return RunOutcome{};
        }
        std::vector<std::string> notices;
        const RunOutcome outcome = ResearchOverNetwork(request, table, &notices);
        for (const std::string& n : notices) Say(p.name + ": " + n);
        return outcome;
    };
    const CheckReport report = CheckProject(history, project, run, settings, std::time(nullptr));
    for (const RankMove& m : report.moves)
        std::printf("%s\t%s\t%s\n", EscapeField(m.term).c_str(), RankText(m.before).c_str(),
                    RankText(m.after).c_str());
    std::fflush(stdout);
    std::string said = project.name + ": " + std::to_string(report.finished) + " of " +
                       std::to_string(report.terms) + " terms checked";
    if (report.outcome.stopped) said += ", stopped";
    if (!report.outcome.gaveUp.empty()) said += "; " + report.outcome.gaveUp;
    if (!report.complete || report.keptHere) said += "; it is checked again next time";
    Say(said);
    if (!report.notice.empty()) Say(project.name + ": " + report.notice);
    if (!report.moves.empty()) {
        const CheckNotice notice = NoticeOf(project.name, report.moves);
        Say(notice.summary);
        DesktopNotifier notifier;
        if (!notifier.Send(notice.summary, notice.body))
            Say("no desktop notification: " + notifier.Error());
    }
    return usable && report.outcome.gaveUp.empty();
}

int Check(RunHistory& history, const std::string& where, const TrackOptions& o, char sep) {
    const CheckLock lock(history, where);
    if (!lock.Held()) {
        Say("another check is running; this one leaves it to finish");
        return 0;
    }
    const std::unique_ptr<ProjectStore> store = ProjectsOf(history);
    ProjectStore& projects = *store;
    std::vector<TrackingProject> due;
    if (!o.project.empty()) {
        const std::optional<TrackingProject> p = projects.Find(o.project);
        if (!p) {
            Say("there is no tracking project " + o.project);
            return 1;
        }
        due.push_back(*p);
    } else {
        for (const TrackingProject& p : projects.Projects())
            if (IsDue(p, std::time(nullptr))) due.push_back(p);
    }
    SettingsStore settings;
    const Preferences preferences = LoadPreferences(settings);
    bool fine = true;
    for (const TrackingProject& p : due) {
        fine = CheckOne(history, p, o, preferences, sep) && fine;
        if (InterruptSignal() != 0) return 128 + InterruptSignal();
    }
    return fine ? 0 : 3;
}

}  // namespace

std::optional<int> TrackMain(int argc, char** argv, char sep) {
    bool wrong = false;
    const std::optional<TrackOptions> o = ReadTrackOptions(argc, argv, &wrong);
    if (!o) return std::nullopt;
    if (wrong) {
        std::fputs(
            "usage: vexorin-research --track [PROJECT] [--parallel N] [--retries N]\n"
            "       vexorin-research --track-list\n"
            "       vexorin-research --track-add PROJECT [--site SITE] [--depth D] [--interval "
            "HOURS]\n"
            "                        [--suggest-service S] [--search-service S] "
            "[--import FILE]... TERM...\n"
            "       vexorin-research --track-remove PROJECT [TERM...]\n",
            stderr);
        return 2;
    }
    try {
        // The history the window's Tracking uses (Preferences), unless the
        // environment or --history-db names another: the timer checks what
        // the user sees.
        SettingsStore settings;
        const std::string where = HistoryWhere(LoadPreferences(settings));
        const std::unique_ptr<RunHistory> history = OpenHistory(where, o->mode != Mode::List);
        if (auto* local = dynamic_cast<HistoryStore*>(history.get());
            local && !local->SetAside().empty())
            Say(SetAsideNotice(local->SetAside()));
        const std::unique_ptr<ProjectStore> store = ProjectsOf(*history);
        ProjectStore& projects = *store;
        switch (o->mode) {
            case Mode::List:
                return List(projects);
            case Mode::Add:
                return Add(projects, *o);
            case Mode::Remove:
                return Remove(projects, *o);
            case Mode::Check:
                return Check(*history, where, *o, sep);
            case Mode::None:
                break;
        }
    } catch (const std::exception& e) {
        Say(std::string("history: ") + e.what());
        return 1;
    }
    return 2;
}

}  // namespace vx::tool
