// Headless front end: opens, researches, sorts, selects, saves and prints an
// investigation without a window. Scripts and tests outside the project rely
// on its arguments and output exactly.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/program_info.h"
#include "core/text.h"
#include "engine/headless_run.h"
#include "history_modes.h"
#include "net/http_client.h"
#include "network_run.h"
#include "results/atomic_file.h"
#include "results/clusters.h"
#include "results/competitors.h"
#include "results/export.h"
#include "results/gaps.h"
#include "results/investigation_file.h"
#include "results/keyword_import.h"
#include "results/rank_gains.h"
#include "results/results_table.h"
#include "results/service_address.h"
#include "results/table_print.h"
#include "secrets/secret_store.h"
#include "sources/service_choice.h"
#include "track_modes.h"

namespace {

constexpr const char* kUsage =
    "usage: vexorin-research [--open FILE] [--keyword TEXT... | --import FILE...] [--site TEXT]\n"
    "                        [--depth TEXT] [--results N] [--parallel N] [--retries N]\n"
    "                        [--suggest-service NAME[@URL]] [--search-service NAME[@URL]]\n"
    "                        [--no-history]\n"
    "                        [--sort COL]... [--select all|none|invert]... [--save FILE]\n"
    "                        [--export-csv FILE] [--export-keywords FILE]\n"
    "                        [--chart FILE.svg|FILE.png] [--competitors]\n"
    "                        [--export-competitors FILE] [--clusters]\n"
    "                        [--cluster-overlap K] [--export-clusters FILE]\n"
    "                        [--opportunities] [--opportunity-places FROM-TO]\n"
    "                        [--gap HOST]... [--gap-hosts N]\n"
    "       vexorin-research --history [TERM] | --serp-history TERM\n"
    "       vexorin-research --record FILE.bki --keyword TEXT --site TEXT [--depth TEXT]\n"
    "       vexorin-research --compare OLD NEW\n"
    "       vexorin-research --services\n"
    "       vexorin-research --track [PROJECT] | --track-list\n"
    "       vexorin-research --track-add PROJECT --site TEXT [--depth TEXT] TERM...\n"
    "       vexorin-research --track-remove PROJECT [TERM...]\n"
    "       vexorin-research --history-sync | --history-copy FROM TO\n"
    "       (every mode takes --history-db URL)\n";

constexpr const char* kHelp =
    "\n"
    "  --keyword TEXT a seed; given again, the suggestions of every seed are\n"
    "                 researched as one list, in order, repeats dropped\n"
    "  --import FILE  researches the terms of a list (Keyword Planner or Search\n"
    "                 Console export, or one term a line); may be given again\n"
    "  --parallel N   rows looked up at once, 1 to 8 (default 4)\n"
    "  --retries N    further tries of a fetch that failed transiently, 0 to 5\n"
    "                 (default 2)\n"
    "  --suggest-service NAME[@URL]  the service profile asked for suggestions\n"
    "                 (classic, searxng, google-ads, ...; the URL replaces its base)\n"
    "  --search-service NAME[@URL]   the service profile asked for searches\n"
    "                 (classic, searxng, serpapi, google-cse, ...)\n"
    "  --competitors  after the rows, a blank line and the hosts holding the\n"
    "                 terms' top-10 places: host, terms, average place, share\n"
    "  --export-competitors FILE  the same table as CSV\n"
    "  --clusters     after the rows, a blank line and the terms grouped by the\n"
    "                 results they share (one page can rank for a group): lead\n"
    "                 term, terms, total demand, the site's best place, members\n"
    "  --cluster-overlap K  results two terms must share, 1 to 9 (default 3)\n"
    "  --export-clusters FILE  the groups as CSV, with the results they share\n"
    "  --opportunities  after the rows, a blank line and the terms the site ranks\n"
    "                 for at places 4 to 20, by the visits a month reaching place\n"
    "                 3 would bring: term, place, demand, visits to gain\n"
    "  --opportunity-places FROM-TO  other places than 4-20 (1 to 100)\n"
    "  --gap HOST     a competitor (given again for more): after the rows, a blank\n"
    "                 line and the terms where at least two of them rank in the\n"
    "                 top ten and the site was not found: term, demand, host@place\n"
    "  --gap-hosts N  how many of them must rank there, 1 to 10 (default 2)\n"
    "  --services     the service profiles found, their kinds and whether they\n"
    "                 can be used\n"
    "  --no-history   this run is not recorded in the research history\n"
    "  --history      the recorded runs: id, start (UTC), seed, site, rows\n"
    "  --history TERM the runs that hold TERM, with its six texts in each\n"
    "  --serp-history TERM  the term's top ten in each run that holds it: place,\n"
    "                 URL, and first, new, same, up N or down N; left URL, was N\n"
    "  --record FILE  records an investigation file as a run (its time: the file's)\n"
    "  --compare OLD NEW  each a .bki file or run:ID; one line per key term\n"
    "  --history-db URL  the shared history (postgresql://user@host/db), as\n"
    "                 VEXORIN_HISTORY_URL; runs are kept here while it is away\n"
    "  --history-sync sends the runs kept here to the shared history\n"
    "  --history-copy FROM TO  copies every run (a file or a URL each), once\n"
    "  --track        checks every tracking project whose interval has passed;\n"
    "                 prints each term that moved: term, old rank, new rank\n"
    "  --track PROJECT  checks the project now\n"
    "  --track-list   the projects, their terms' latest and best ranks, and when\n"
    "                 each is checked next\n"
    "  --track-add PROJECT  makes the project (--site, --depth, --interval HOURS,\n"
    "                 --search-service) or adds terms to it (or --import FILE)\n"
    "  --track-remove PROJECT [TERM...]  removes the terms, or the project\n"
    "  --version      the version\n"
    "  --help         this text\n"
    "\n"
    "Ctrl-C (or SIGTERM) ends a run: the rows so far are printed, nothing is\n"
    "saved, and the exit status is 130 (143).\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// The chart is drawn by vexorin-chart beside this program (or on PATH), from
// the table as it stands after sorting and selecting, so this tool needs no Qt.
bool WriteChart(const char* self, const vx::ResultsTable& table, char sep, const std::string& out) {
    std::string dir = ".";
    char buf[4096];
    if (const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf); n > 0) {
        dir.assign(buf, static_cast<size_t>(n));
        dir.erase(dir.rfind('/'));
    } else if (const char* slash = std::strrchr(self, '/')) {
        dir.assign(self, static_cast<size_t>(slash - self));
    }
    std::string chartTool = dir + "/vexorin-chart";
    if (::access(chartTool.c_str(), X_OK) != 0) chartTool = "vexorin-chart";
    char tmpl[] = "/tmp/vexorin-chart-XXXXXX";
    const int fd = ::mkstemp(tmpl);
    if (fd < 0) {
        std::fprintf(stderr, "vexorin-research: cannot write the chart: %s\n",
                     std::strerror(errno));
        return false;
    }
    ::close(fd);
    bool ok = static_cast<bool>(vx::WriteFileAtomically(tmpl, vx::FormatInvestigationFile(table)));
    if (ok) {
        const pid_t child = ::fork();
        if (child == 0) {
            const std::string decimal(1, sep);
            ::execlp(chartTool.c_str(), chartTool.c_str(), "--decimal", decimal.c_str(), tmpl,
                     out.c_str(), static_cast<char*>(nullptr));
            std::fprintf(stderr, "vexorin-research: cannot run vexorin-chart: %s\n",
                         std::strerror(errno));
            ::_exit(127);
        }
        int status = 0;
        ok = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0;
        if (!ok && child > 0 && WIFEXITED(status) && WEXITSTATUS(status) != 127 &&
            WEXITSTATUS(status) != 1)
            std::fprintf(stderr, "vexorin-research: cannot write the chart %s\n",
                         vx::PrintableName(out).c_str());
    } else {
        std::fprintf(stderr, "vexorin-research: cannot write the chart: no temporary file\n");
    }
    ::unlink(tmpl);
    return ok;
}

struct Step {
    bool isSort;
    int column;
    std::string select;
};

// What the command line asks for.
struct Options {
    std::string openFile, saveFile, csvFile, keywordsFile, chartFile, competitorsFile;
    std::string clustersFile;
    bool competitors = false, clusters = false, gains = false;
    int clusterOverlap = vx::kDefaultClusterOverlap;
    int gainFrom = vx::kGainFrom, gainTo = vx::kGainTo;
    std::vector<std::string> gapHosts;
    int gapAtLeast = vx::kDefaultGapHosts;
    bool haveKeyword = false;
    std::vector<std::string> importFiles;
    // The history's modes; none: a research, open or sort as before.
    bool noHistory = false, listHistory = false;
    std::optional<std::string> historyTerm;
    std::string recordFile;
    std::vector<std::string> compare;
    bool listServices = false;
    std::optional<vx::ServiceChoice> suggestService, searchService;
    vx::HeadlessResearch research;
    std::vector<Step> steps;
};

// A whole number for an option, or nothing when it does not read.
std::optional<int> Number(const std::string& v) {
    const auto n = vx::ReadWholeNumber(v);
    return n ? std::optional<int>(*n) : std::nullopt;
}

// A lookup setting's value within its range; else one line on stderr.
std::optional<int> InRange(const std::string& option, const std::string& v, int lowest,
                           int highest) {
    const auto n = Number(v);
    if (n && *n >= lowest && *n <= highest) return n;
    std::fprintf(stderr, "vexorin-research: %s takes a whole number from %d to %d\n",
                 option.c_str(), lowest, highest);
    return std::nullopt;
}

// The history's options that take no value or two: the arguments they used
// (0: not one of them), or -1 for bad usage.
int ReadHistoryOption(Options& o, int argc, char** argv, int i) {
    const std::string arg = argv[i];
    if (arg == "--no-history") {
        o.noHistory = true;
        return 1;
    }
    if (arg == "--services") {
        o.listServices = true;
        return argc == 2 ? 1 : -1;
    }
    if (arg == "--history") {
        o.listHistory = true;
        if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) {
            o.historyTerm = argv[i + 1];
            return 2;
        }
        return 1;
    }
    if (arg != "--compare") return 0;
    if (i + 2 >= argc) return -1;
    o.compare = {argv[i + 1], argv[i + 2]};
    return 3;
}

enum class Read { Taken, NotMine, Bad, Said };

// The research's options; *research tells that one was given.
Read ReadResearchOption(Options& o, const std::string& arg, const std::string& v, bool* research) {
    if (arg == "--keyword") {
        (o.haveKeyword ? o.research.moreKeywords.emplace_back() : o.research.keyword) = v;
        o.haveKeyword = true;
        return Read::Taken;
    }
    if (arg == "--import") {
        o.importFiles.push_back(v);
        return v.empty() ? Read::Bad : Read::Taken;
    }
    *research = true;
    if (arg == "--suggest-service" || arg == "--search-service") {
        const auto choice = vx::ParseServiceChoice(v);
        if (!choice) {
            std::fprintf(stderr,
                         "vexorin-research: %s takes a profile's name, or NAME@http(s)://URL\n",
                         arg.c_str());
            return Read::Said;
        }
        (arg == "--suggest-service" ? o.suggestService : o.searchService) = choice;
    } else if (arg == "--site") {
        o.research.site = v;
    } else if (arg == "--depth" || arg == "--results") {
        // The dialog's ranges: 1 to 20 pages, 2 to 30 results.
        const auto n = Number(v);
        if (!n) return Read::Bad;
        if (arg == "--depth")
            o.research.depthText = std::to_string(std::clamp(*n, 1, vx::kDepthItems));
        else
            o.research.results = vx::ClampResults(*n);
    } else if (arg == "--parallel" || arg == "--retries") {
        const bool parallel = arg == "--parallel";
        const auto n = parallel ? InRange(arg, v, vx::kMinParallel, vx::kMaxParallel)
                                : InRange(arg, v, vx::kMinRetries, vx::kMaxRetries);
        if (!n) return Read::Said;
        (parallel ? o.research.policy.parallel : o.research.policy.retries) = *n;
    } else {
        *research = false;
        return Read::NotMine;
    }
    return Read::Taken;
}

// Files, sorts and selections.
Read ReadOtherOption(Options& o, const std::string& arg, const std::string& v) {
    const std::map<std::string, std::string*> files = {{"--open", &o.openFile},
                                                       {"--save", &o.saveFile},
                                                       {"--export-csv", &o.csvFile},
                                                       {"--export-keywords", &o.keywordsFile},
                                                       {"--chart", &o.chartFile},
                                                       {"--record", &o.recordFile},
                                                       {"--export-competitors", &o.competitorsFile},
                                                       {"--export-clusters", &o.clustersFile}};
    if (const auto file = files.find(arg); file != files.end()) {
        *file->second = v;
        return v.empty() ? Read::Bad : Read::Taken;
    }
    if (arg == "--opportunity-places") {
        const size_t dash = v.find('-');
        const auto from = Number(v.substr(0, dash));
        const auto to = dash == std::string::npos ? std::nullopt : Number(v.substr(dash + 1));
        if (!from || !to || *from < 1 || *to > 100 || *from > *to) {
            std::fprintf(stderr,
                         "vexorin-research: --opportunity-places takes FROM-TO, places from 1 to "
                         "100 (4-20)\n");
            return Read::Said;
        }
        o.gainFrom = *from;
        o.gainTo = *to;
        return Read::Taken;
    }
    if (arg == "--gap") {
        if (v.empty()) return Read::Bad;
        o.gapHosts.push_back(v);
        return Read::Taken;
    }
    if (arg == "--gap-hosts") {
        const auto n = InRange(arg, v, 1, 10);
        if (!n) return Read::Said;
        o.gapAtLeast = *n;
        return Read::Taken;
    }
    if (arg == "--cluster-overlap") {
        const auto k = InRange(arg, v, vx::kMinClusterOverlap, vx::kMaxClusterOverlap);
        if (!k) return Read::Said;
        o.clusterOverlap = *k;
        return Read::Taken;
    }
    const auto n = Number(v);
    if (arg == "--sort" && !v.empty() && v.find_first_not_of("0123456789") == std::string::npos &&
        n && *n < vx::kColumnCount) {
        o.steps.push_back({true, *n, {}});
        return Read::Taken;
    }
    if (arg == "--select" && (v == "all" || v == "none" || v == "invert")) {
        o.steps.push_back({false, 0, v});
        return Read::Taken;
    }
    return Read::Bad;
}

// Options that go together: research options need a keyword, a history
// mode stands alone (a record names its run's keyword and site).
bool Consistent(const Options& o, int argc, bool research) {
    // A research has a seed or imported lists, never both.
    if (o.haveKeyword && !o.importFiles.empty()) return false;
    if (research && !o.haveKeyword && o.importFiles.empty()) return false;
    if (!o.importFiles.empty() && (o.listHistory || !o.compare.empty() || !o.recordFile.empty()))
        return false;
    const int modes = o.listHistory + !o.compare.empty() + !o.recordFile.empty();
    if (modes > 1) return false;
    if (o.listHistory) return argc == 2 + (o.historyTerm ? 1 : 0);
    if (!o.compare.empty()) return argc == 4;
    return o.recordFile.empty() || (o.haveKeyword && o.research.moreKeywords.empty() &&
                                    o.openFile.empty() && o.steps.empty());
}

// The options, or nothing for bad usage (empty file names included); a
// value out of its range has said so already when *said is set.
std::optional<Options> ReadOptions(int argc, char** argv, bool* said) {
    Options o;
    // The environment's lookup settings, as the window takes them; the
    // options below win.
    o.research.policy.parallel = vx::ParallelFromEnvironment().value_or(vx::kDefaultParallel);
    o.research.policy.retries = vx::RetriesFromEnvironment().value_or(vx::kDefaultRetries);
    bool research = false;
    for (int i = 1; i < argc; ++i) {
        if (const int used = ReadHistoryOption(o, argc, argv, i); used != 0) {
            if (used < 0) return std::nullopt;
            i += used - 1;
            continue;
        }
        if (std::strcmp(argv[i], "--competitors") == 0) {
            o.competitors = true;
            continue;
        }
        if (std::strcmp(argv[i], "--clusters") == 0) {
            o.clusters = true;
            continue;
        }
        if (std::strcmp(argv[i], "--opportunities") == 0) {
            o.gains = true;
            continue;
        }
        if (i + 1 >= argc) return std::nullopt;  // every other option takes a value
        const std::string arg = argv[i], v = argv[++i];
        Read r = ReadResearchOption(o, arg, v, &research);
        if (r == Read::NotMine) r = ReadOtherOption(o, arg, v);
        if (r == Read::Said) *said = true;
        if (r != Read::Taken) return std::nullopt;
    }
    if (!Consistent(o, argc, research)) return std::nullopt;
    return o;
}

// The services the options or the environment choose, made with their
// secrets (environment, else keyring); false (said) when they cannot be.
bool ChooseServices(Options& o) {
    o.research.sources = vx::ChooseServices(o.suggestService, o.searchService, vx::Preferences{});
    if (o.research.sources.error.empty()) return true;
    std::fprintf(stderr, "vexorin-research: %s\n", o.research.sources.error.c_str());
    return false;
}

// --services: every profile found, its kind, and whether it can be used.
int ListServices() {
    std::printf("classic\tclassic\tusable\tthe stand-in services' pages\n");
    for (const auto& [name, p] : vx::LoadServiceProfiles(vx::ProfileFolders())) {
        std::string state = "usable";
        if (!p.error.empty()) {
            state = "error: " + p.file + ": " + p.error;
        } else {
            for (const std::string& secret : p.secrets)
                if (!vx::LookupSecret(secret)) {
                    state = "needs the secret " + secret + " (" + vx::SecretVariable(secret) + ")";
                    break;
                }
        }
        std::printf("%s\t%s\t%s\t%s\n", name.c_str(), p.kind.empty() ? "?" : p.kind.c_str(),
                    state.c_str(), p.description.c_str());
    }
    return 0;
}

// The terms of every --import file in order, repeats dropped, into the
// research; false (said, nothing written) when a file cannot be read or is
// no list of terms. The run's seed names the files.
bool ImportLists(Options& o, vx::HistoryRun& run) {
    for (const std::string& file : o.importFiles) {
        const vx::KeywordList list = vx::ReadKeywordListFile(file);
        if (!list) {
            std::fprintf(stderr, "vexorin-research: cannot import %s: %s\n",
                         vx::PrintableName(file).c_str(), list.error.c_str());
            return false;
        }
        vx::MergeKeywordLists(o.research.terms, list.terms);
        const size_t slash = file.rfind('/');
        run.seed += (run.seed.empty() ? "" : ", ") +
                    (slash == std::string::npos ? file : file.substr(slash + 1));
    }
    if (o.research.terms.size() > vx::kMaxImportedTerms) {
        std::fprintf(stderr, "vexorin-research: the lists hold more than %zu terms\n",
                     vx::kMaxImportedTerms);
        return false;
    }
    return true;
}

// Open, research, then every sort and selection in the order given; how the
// research ended. False when the file given cannot be opened: nothing may
// then be written.
bool RunSteps(const Options& o, vx::ResultsTable& table, vx::RunOutcome* outcome,
              vx::HistoryRun& run) {
    if (!o.openFile.empty()) {
        if (const vx::LoadOutcome opened = vx::LoadInvestigationFile(o.openFile, table); !opened) {
            std::fprintf(stderr, "vexorin-research: cannot open %s: %s\n",
                         vx::PrintableName(o.openFile).c_str(),
                         vx::LoadFailureText(opened).c_str());
            return false;
        }
    }
    if (o.haveKeyword || !o.importFiles.empty()) {
        std::vector<std::string> notices;
        *outcome = vx::tool::ResearchOverNetwork(o.research, table, &notices);
        // Each once: why a service could not be reached securely, or gave
        // cut answers (the word on giving up follows the table).
        for (const std::string& n : notices)
            if (n != outcome->gaveUp) std::fprintf(stderr, "vexorin-research: %s\n", n.c_str());
        // Every research run is kept as it came, stopped ones marked so; one
        // without rows, or stopped before its rows came, is not.
        if (!o.noHistory && outcome->walked) {
            run.ended = vx::tool::InterruptSignal() != 0 ? vx::kEndedStopped
                        : !outcome->gaveUp.empty()       ? vx::kEndedGaveUp
                                                         : vx::kEndedDone;
            vx::tool::RecordRun(run, table);
        }
        // The signal handler may fire until the end; the signal lives on.
        if (vx::tool::InterruptSignal() != 0) return true;
    }
    for (const Step& s : o.steps) {
        if (s.isSort) {
            table.ListView1ColumnClick(s.column);
        } else if (s.select == "all") {
            table.SelectAll1Click();
        } else if (s.select == "none") {
            table.SelectNone1Click();
        } else {
            table.InvertSelection1Click();
        }
    }
    return true;
}

// Saves, exports, the chart and the printed table; every write is checked,
// and a failed one says so on one line. False when any failed.
bool WriteOutputs(const Options& o, const vx::ResultsTable& table, const char* self, char sep) {
    bool ok = true;
    auto write = [&ok](const std::string& path, auto format) {
        if (path.empty()) return;
        const vx::WriteResult written = vx::WriteFileAtomically(path, format());
        if (written) return;
        std::fprintf(stderr, "vexorin-research: cannot write %s: %s\n",
                     vx::PrintableName(path).c_str(), vx::WriteFailureText(written).c_str());
        ok = false;
    };
    write(o.saveFile, [&] { return vx::FormatInvestigationFile(table); });
    write(o.csvFile, [&] { return vx::FormatCsvTable(table); });
    write(o.keywordsFile, [&] { return vx::FormatKeywordList(table); });
    write(o.competitorsFile,
          [&] { return vx::FormatCompetitorsCsv(vx::Competitors(table, o.research.site)); });
    write(o.clustersFile,
          [&] { return vx::FormatClustersCsv(vx::ClusterTerms(table, o.clusterOverlap)); });
    if (!o.chartFile.empty() && !WriteChart(self, table, sep, o.chartFile)) ok = false;
    std::string out = vx::FormatTableLines(table);
    if (o.competitors)
        out += "\n" + vx::FormatCompetitorLines(vx::Competitors(table, o.research.site));
    if (o.clusters) out += "\n" + vx::FormatClusterLines(vx::ClusterTerms(table, o.clusterOverlap));
    if (o.gains) out += "\n" + vx::FormatRankGainLines(vx::RankGains(table, o.gainFrom, o.gainTo));
    if (!o.gapHosts.empty())
        out += "\n" + vx::FormatGapLines(vx::Gaps(table, o.gapHosts, o.gapAtLeast));
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "vexorin-research: cannot write the table: %s\n",
                     std::strerror(errno));
        ok = false;
    }
    return ok;
}

// The decimal separator of the environment's locale ('.' when it is more
// than one byte); the C library's own numbers stay in the C locale.
char LocaleSeparator() {
    std::setlocale(LC_ALL, "");
    const char* point = std::localeconv()->decimal_point;
    const char sep = (point && point[0] && !point[1]) ? point[0] : '.';
    std::setlocale(LC_NUMERIC, "C");
    return sep;
}

// What the history keeps of a run the options ask for.
vx::HistoryRun RunOf(const Options& o) {
    vx::HistoryRun run;
    run.seed = o.research.keyword;
    for (const std::string& more : o.research.moreKeywords) run.seed += ", " + more;
    run.site = o.research.site;
    run.depth = o.research.depthText;
    run.parallel = o.research.policy.parallel;
    run.retries = o.research.policy.retries;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    vx::KeepSecretsFromChildren();
    // Past a file-size limit a write fails with EFBIG and is reported,
    // instead of the signal ending the tool.
    std::signal(SIGXFSZ, SIG_IGN);
    const char sep = LocaleSeparator();

    if (vx::AnswerVersionOrHelp(argc, argv, "vexorin-research", kUsage, kHelp)) return 0;
    // The shared history, for every mode: as VEXORIN_HISTORY_URL says it.
    std::vector<char*> args(argv, argv + argc);
    for (size_t i = 1; i < args.size(); ++i) {
        if (std::strcmp(args[i], "--history-db") != 0) continue;
        if (i + 1 >= args.size()) return Usage();
        vx::KeepVariable("VEXORIN_HISTORY_URL", args[i + 1]);
        // Accepted, but every user of this computer can read a command line.
        if (!vx::PasswordsInUrl(args[i + 1]).empty())
            std::fprintf(stderr,
                         "vexorin-research: warning: the password in --history-db's URL can be "
                         "read by any user of this computer while the tool runs; give it in "
                         "PGPASSWORD, ~/.pgpass or the keyring (Preferences) instead\n");
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        break;
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    if (argc == 2 && std::strcmp(argv[1], "--history-sync") == 0) return vx::tool::SyncHistory();
    if (argc == 3 && std::strcmp(argv[1], "--serp-history") == 0)
        return vx::tool::SerpHistory(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--history-copy") == 0)
        return vx::tool::CopyHistories(argv[2], argv[3]);
    if (const std::optional<int> tracked = vx::tool::TrackMain(argc, argv, sep)) return *tracked;
    bool said = false;
    std::optional<Options> options = ReadOptions(argc, argv, &said);
    if (!options) return said ? 2 : Usage();
    Options& o = *options;
    if (o.listServices) return ListServices();
    if (o.listHistory) return vx::tool::ListHistory(o.historyTerm);
    if (!o.compare.empty()) return vx::tool::CompareInvestigations(o.compare[0], o.compare[1], sep);
    vx::HistoryRun run = RunOf(o);
    run.decimalSeparator = sep;
    if (!o.recordFile.empty()) return vx::tool::RecordFile(o.recordFile, run, sep);
    if (!ImportLists(o, run)) return 1;
    if ((o.haveKeyword || !o.importFiles.empty()) && !ChooseServices(o)) return 1;
    vx::ResultsTable table(sep);
    vx::RunOutcome outcome;
    run.started = vx::IsoUtc(std::time(nullptr));
    // A file that cannot be opened ends the tool before anything is written:
    // an empty table saved over a good file would lose it.
    if (!RunSteps(o, table, &outcome, run)) return 1;
    // Interrupted: the rows so far, and nothing written over any file.
    if (vx::tool::InterruptSignal() != 0) {
        const std::string out = vx::FormatTableLines(table);
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        std::fputs("vexorin-research: Stopped\n", stderr);
        return 128 + vx::tool::InterruptSignal();
    }
    // A research that brought no row did not do what it promised: no file
    // is written over, and the word on why ends the tool.
    if ((o.haveKeyword || !o.importFiles.empty()) && table.Count() == 0) {
        const std::string summary = outcome.Summary();
        std::fprintf(stderr, "vexorin-research: %s\n",
                     summary == "Done!" ? "nothing was researched" : summary.c_str());
        return 3;
    }
    const bool ok = WriteOutputs(*options, table, argv[0], sep);
    // A service that stopped answering, or rows with holes: the rows so far
    // are out, and so is the word on what is missing and why.
    if (const std::string summary = outcome.Summary();
        (o.haveKeyword || !o.importFiles.empty()) && summary != "Done!")
        std::fprintf(stderr, "vexorin-research: %s\n", summary.c_str());
    if (!ok) return 1;
    return outcome.gaveUp.empty() ? 0 : 3;
}
