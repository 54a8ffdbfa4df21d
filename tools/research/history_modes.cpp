#include "history_modes.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "core/text.h"
#include "history/history_choice.h"
#include "history/pg_history_store.h"
#include "results/comparison.h"
#include "results/investigation_file.h"
#include "results/serp_changes.h"

namespace vx::tool {

namespace {

void Say(const std::string& what) {
    std::fprintf(stderr, "vexorin-research: %s\n", what.c_str());
}

void Line(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// 0 when everything printed reached stdout, else 1 with the reason: a
// listing cut by a full disk or a closed pipe is no listing.
int Finished() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    Say(std::string("cannot write the output: ") + std::strerror(errno));
    return 1;
}

// A .bki path or "run:ID" into table; false (said) when it cannot be read.
bool LoadSide(const std::string& side, ResultsTable& table) {
    if (side.rfind("run:", 0) == 0) {
        const auto id = ReadWholeNumber64(side.substr(4));
        const auto store = OpenHistory(HistoryUrlFromEnvironment(), false);
        if (id && store->Load(*id, table)) return true;
        Say("no run " + PrintableName(side.substr(4)) + " in the history");
        return false;
    }
    const LoadOutcome opened = LoadInvestigationFile(side, table);
    if (!opened) Say("cannot open " + PrintableName(side) + ": " + LoadFailureText(opened));
    return static_cast<bool>(opened);
}

}  // namespace

int ListHistory(const std::optional<std::string>& term) {
    try {
        const auto store = OpenHistory(HistoryUrlFromEnvironment(), false);
        if (!term) {
            for (const HistoryRun& r : store->Runs())
                Line({std::to_string(r.id), r.started, r.seed, r.site, std::to_string(r.rows)});
            return Finished();
        }
        for (const TermPoint& p : store->TermHistory(*term)) {
            std::vector<std::string> fields = {p.started, std::to_string(p.run)};
            fields.insert(fields.end(), p.texts.begin(), p.texts.end());
            Line(fields);
        }
        return Finished();
    } catch (const std::exception& e) {
        Say(std::string("history: ") + e.what());
        return 1;
    }
}

int SerpHistory(const std::string& term) {
    try {
        const auto store = OpenHistory(HistoryUrlFromEnvironment(), false);
        const std::vector<TermPoint> points = store->TermHistory(term);
        if (points.empty()) {
            Say("history: no run holds \"" + ShowableText(term) + "\"");
            return 1;
        }
        std::vector<SerpStep> steps;
        for (const TermPoint& p : points) {
            SerpStep step;
            step.label = "run " + std::to_string(p.run) + "\t" + p.started;
            ResultsTable table;
            if (store->Load(p.run, table))
                for (int i = 0; i < table.Count(); ++i)
                    if (FoldCase(table.At(i).KeyTerm()) == FoldCase(term)) {
                        step.top = table.At(i).Top();
                        break;
                    }
            steps.push_back(std::move(step));
        }
        const std::string out = FormatSerpChanges(steps);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return Finished();
    } catch (const std::exception& e) {
        Say(std::string("history: ") + e.what());
        return 1;
    }
}

int CompareInvestigations(const std::string& older, const std::string& newer, char sep) {
    try {
        ResultsTable a(sep), b(sep);
        if (!LoadSide(older, a) || !LoadSide(newer, b)) return 1;
        for (const TermChange& c : CompareTables(a, b))
            Line({c.term, ToString(c.status), c.demandOld, c.demandNew, c.competitionOld,
                  c.competitionNew, c.rankOld, c.rankNew, c.rankChange});
        return Finished();
    } catch (const std::exception& e) {
        Say(std::string("history: ") + e.what());
        return 1;
    }
}

int RecordFile(const std::string& file, HistoryRun run, char sep) {
    ResultsTable table(sep);
    const LoadOutcome opened = LoadInvestigationFile(file, table);
    if (!opened) {
        Say("cannot open " + PrintableName(file) + ": " + LoadFailureText(opened));
        return 1;
    }
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        Say("cannot open " + PrintableName(file) + ": " + std::strerror(errno));
        return 1;
    }
    run.started = IsoUtc(st.st_mtime);
    run.decimalSeparator = sep;
    try {
        const std::string url = HistoryUrlFromEnvironment();
        int64_t id = 0;
        if (IsSharedHistoryUrl(url)) {
            const Recorded kept = RecordShared(url, run, RowsOf(table));
            if (!kept.notice.empty()) Say(kept.notice);
            id = kept.id;
        } else {
            HistoryStore store(url.empty() ? HistoryStore::DefaultPath() : url,
                               HistoryStore::Use::Write);
            id = store.Record(run, RowsOf(table));
            if (!store.SetAside().empty()) Say(SetAsideNotice(store.SetAside()));
        }
        if (id == 0) {
            Say(PrintableName(file) + " holds no rows to record");
            return 1;
        }
        Line({std::to_string(id)});
        return Finished();
    } catch (const std::exception& e) {
        Say(std::string("history: ") + e.what());
        return 1;
    }
}

bool RecordRun(const HistoryRun& run, const ResultsTable& table) {
    try {
        const std::string url = HistoryUrlFromEnvironment();
        if (IsSharedHistoryUrl(url)) {
            const Recorded kept = RecordShared(url, run, RowsOf(table));
            if (!kept.notice.empty()) Say(kept.notice);
            return true;
        }
        HistoryStore store(url.empty() ? HistoryStore::DefaultPath() : url,
                           HistoryStore::Use::Write);
        store.Record(run, RowsOf(table));
        if (!store.SetAside().empty()) Say(SetAsideNotice(store.SetAside()));
        return true;
    } catch (const std::exception& e) {
        Say(std::string("cannot record the run in the history: ") + e.what());
        return false;
    }
}

int SyncHistory() {
    // Each waiting run goes to the shared history it was kept for; the one
    // given takes those kept before runs knew where they were going.
    std::vector<std::string> destinations = WaitingDestinations();
    const std::string url = HistoryUrlFromEnvironment();
    if (!url.empty() && !IsSharedHistoryUrl(url)) {
        Say("--history-sync sends runs to a shared history: give --history-db URL");
        return 2;
    }
    if (!url.empty()) destinations.insert(destinations.begin(), url);
    int sent = 0;
    bool whole = true;
    std::set<std::string> done;
    for (const std::string& to : destinations) {
        if (!done.insert(HistoryDestination(to)).second) continue;
        try {
            const Sent s = SendWaitingRuns(to);
            sent += s.sent;
            for (const std::string& said : s.setAside) Say("history: " + said);
            whole = whole && s.setAside.empty();
        } catch (const std::exception& e) {
            // The runs for it wait on; the others go.
            Say(std::string("history: ") + e.what());
            whole = false;
        }
    }
    Line({std::to_string(sent) + (sent == 1 ? " run sent" : " runs sent")});
    const int finished = Finished();
    return whole ? finished : 1;
}

int CopyHistories(const std::string& from, const std::string& to) {
    try {
        // A history that is not there is a mistyped name, not an empty one.
        struct stat st {};
        if (!IsSharedHistoryUrl(from) && ::stat(from.c_str(), &st) != 0) {
            Say("cannot read " + PrintableName(from) + ": " + std::strerror(errno));
            return 1;
        }
        const auto source = OpenHistory(from, false);
        const auto target = OpenHistory(to, true);
        const int copied = CopyHistory(*source, *target);
        Line({std::to_string(copied) + (copied == 1 ? " run copied" : " runs copied")});
        return Finished();
    } catch (const std::exception& e) {
        Say(std::string("history: ") + e.what());
        return 1;
    }
}

}  // namespace vx::tool
