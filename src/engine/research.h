// The research run: suggestion page -> rows, each filled column by column
// with competition, cost, rank, profitability and prospects. GUI-free and
// network-free; it reaches the rest of the system only through its host.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/host.h"
#include "results/keyword_import.h"
#include "results/results_table.h"
#include "sources/service_source.h"

namespace vx {

// Result items on one page of the web search service.
constexpr int kResultsPerPage = 20;

// "%", "#", "&" and "+" percent-encoded, so a term cannot cut the URL, add a
// query key or turn into a blank, and so are control bytes and every byte of
// non-ASCII text (byte by byte); every other byte as it is.
std::string EncodeUrlSpecials(std::string_view text);
// The site as it is looked for on result pages: without blanks around it, a
// leading "http://" or "https://" or trailing "/", so "https://www.MySite.com/"
// finds what "www.mysite.com" finds.
std::string NormalizeTargetSite(std::string_view site);
// The 0-based result item of a page that holds target (the page start when
// none does). Items follow "of about", each "<li>" up to three bytes before
// the next.
long long ItemIndexOf(std::string_view target, std::string_view page);
// The links of a page's result items, in the same walk: each item's first
// href (quoted or not), empty for an item without one.
std::vector<std::string> ItemLinks(std::string_view page);
// A key term as the search URLs carry it: encoded, blanks as "+".
std::string SearchPhrase(std::string_view keyTerm);

struct ResearchContext {
    StatusSink& status;
    EventPump& pump;
    KeyState& keys;
    StopFlag& stop;
    InvestigateInputs& inputs;
    ResultsTable& table;
    ServiceHosts hosts;
    // Fetches on the thread that runs the research (one row at a time).
    PageFetcher fetch;
    char decimalSeparator = '.';
    // Rows at once and retries. With parallel above 1 every fetch goes
    // through fetchAnyThread, from the run's lookup threads, several at once.
    LookupPolicy policy = {};
    PageFetcher fetchAnyThread = {};
    // Ends every fetch in flight (the run stops or gives up); may be empty.
    std::function<void()> cancelFetches = {};
    // Profile services (SearXNG, Google Ads, a JSON search API); empty: the
    // classic pages of that role. Their requests go through fetchRequest,
    // from any thread; hosts then name them as messages should.
    std::shared_ptr<SuggestionSource> suggestSource = {};
    std::shared_ptr<SearchSource> searchSource = {};
    RequestFetcher fetchRequest = {};
};

// Raised when the page depth does not read as a whole number; the row is
// completed first.
struct ResearchFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// How a run ended, for the status bar, stderr and the history.
struct RunOutcome {
    // The row walk began: the table holds this run's rows, and only then is
    // there a run to record.
    bool walked = false;
    bool stopped = false;           // Stop, Escape or a signal ended it
    std::string gaveUp;             // Research::GaveUp()
    int rows = 0;                   // rows in the table
    int incompleteRows = 0;         // rows holding "?"
    int failedFetches[2] = {0, 0};  // suggestion, search: failed after their retries
    // "Stopped", the word on a service given up on, "Done: 7 of 30 rows
    // incomplete; the search service failed 9 requests." or "Done!".
    std::string Summary() const;
};

// A run is not re-entrant, and its host keeps it so. In the window the run
// executes inside Start while its pump serves events; a Start or Open given
// then does not touch the table: it stops the run and waits for it to
// return (TForm1::AfterRun queues it; a second Start only once), and the
// table drops writes to rows a Clear removed (row ids). The headless tool
// pumps nothing, so nothing can re-enter.
//
// Threads: the table, the status, the pump, the keys and the inputs are
// used only on the thread that calls the run. With parallel above 1 each
// row's lookups (its competition, then its rank pages in order) run on a
// thread of their own, at most parallel at once; they share only the
// fetcher, the stop flag and the dead-service count, and hand their texts
// back to the calling thread, which fills the rows in suggestion order as
// they come and pumps events while it waits.
class Research {
  public:
    explicit Research(ResearchContext context);
    ~Research();
    Research(Research&&) = delete;

    void RunInvestigation(const std::string& keyword);
    // Several seeds: the suggestions of each (as many as one research of it
    // shows), in seed order with repeats dropped, researched as one list.
    void RunSeeds(const std::vector<std::string>& keywords);
    void FillResultsFromSuggestions(const std::string& page);
    // A research of a list the user already has (an imported file): its
    // terms in order, with their demand ("?" where the list gives none),
    // however many; no suggestion is fetched.
    void RunList(const std::vector<ImportedTerm>& terms);
    std::string LookupCompetition(const std::string& keyTerm);
    std::string FindRank(const std::string& keyTerm, const std::string& target, int pageDepth);

    std::string SuggestionUrl(const std::string& keyword) const;
    // The suggestions a suggestion page holds, as a run would walk them.
    static int CountSuggestions(const std::string& page);
    // The page count a search page gives, as a run reads it ("12345", "?").
    static std::string CountOnPage(std::string page, bool complete);

    // Set when a service stopped answering and the run gave up on it: "The
    // search service at host:port is not answering." Empty otherwise.
    const std::string& GaveUp() const { return gaveUp_; }
    // What the user was told about a service, once a run and service each:
    // "The search service at host: TLS handshake: certificate has expired".
    std::vector<std::string> Notices() const;
    // How the run ended; valid once RunInvestigation returned or raised.
    RunOutcome Outcome() const;
    // Failed fetches in a row (no answer, a cut answer, an error status
    // such as 429 or 503) after which a run gives up.
    static constexpr int kFailuresBeforeGivingUp = 3;

    // How long a fetch that failed transiently waits before try number
    // attempt + 2: the back-off doubled per try with a quarter of jitter
    // either way, or the service's Retry-After when that is longer; -1 (do
    // not ask again) when the Retry-After is beyond the policy's cap.
    static int RetryDelayMs(const LookupPolicy& policy, int attempt, int retryAfterSeconds,
                            double jitter);

  private:
    enum Service { kSuggest, kSearch };
    class Lane;
    class CallerLane;
    class LookupLane;
    struct Lookup;

    // Fetches with the policy's retries; counts fetches that still got no
    // answer: the third in a row gives up on the service. A service given
    // up on is not asked again.
    // The suggestion page of a seed; nothing when the run ends there (a
    // stop, Escape, a service given up on).
    std::optional<std::string> SuggestionPage(const std::string& keyword);
    // A seed's suggestions as a list: the classic page's (as many as the
    // results wanted) or a profile service's; nothing when the run ends.
    std::optional<std::vector<ImportedTerm>> SeedSuggestions(const std::string& keyword);
    std::optional<std::vector<ImportedTerm>> SourceSuggestions(const std::string& keyword);
    FetchedPage Fetch(Service service, const std::string& url, Lane& lane);
    FetchedPage Fetch(Service service, const ServiceRequest& request, Lane& lane);
    // After a run of seeds: a table left empty says so as the word on the
    // run ("gave no suggestions for \"x\"").
    void NoRowsSaid(const std::string& seeds);
    // Tells once per service and kind of fault what was wrong with an
    // answer it gave.
    void NoteAnswerFault(Service service, const std::string& fault);
    // "The search service at host " + words + ".", once a run for each
    // kind (the words themselves when no kind is given).
    void Notice(Service service, const std::string& words, const std::string& kind = {});
    std::string SourceCompetition(const std::string& keyTerm, Lane& lane);
    // One search of a profile service, read; nothing when it failed or its
    // answer did not read (said once).
    std::optional<SearchRead> SourceSearch(const ServiceRequest& request, Lane& lane);
    std::string SourceRankWalk(const std::string& keyTerm, const std::string& target, int pageDepth,
                               Lane& lane, std::vector<TopResult>* top);
    std::string Competition(const std::string& keyTerm, Lane& lane);
    // The rank; *top gets the first page's top results when it came whole.
    std::string RankWalk(const std::string& keyTerm, const std::string& target, int pageDepth,
                         Lane& lane, std::vector<TopResult>* top = nullptr);
    class RowSource;
    class SuggestionRows;
    class ListRows;
    void FillRows(RowSource& rows, bool capped);
    void FillInParallel(RowSource& rows, bool capped);
    void StartLookup(Lookup& lookup);
    void StartLookupThread(Lookup& lookup);
    bool ShowLookups(std::vector<std::unique_ptr<Lookup>>& running, int& rowsDone);
    bool GivenUp() const;
    // Shows notices not shown yet in the status (the calling thread).
    void ShowNotices();
    std::string SearchUrl(const std::string& phrase) const;
    void ReportProgress(int rowsDone, int pagesSearched);
    void Pump() { ctx_.pump.PumpEvents(); }

    ResearchContext ctx_;
    mutable std::mutex mutex_;  // what lookup threads share with the caller
    std::condition_variable changed_;
    int failuresInRow_[2] = {0, 0};
    int failuresTotal_[2] = {0, 0};
    // What every failure in the current row of failures did ("answered 503
    // Service Unavailable"), when they all did the same; else empty.
    std::string failedAs_[2];
    // No lane asks a service before this: one back-off a service for all.
    std::chrono::steady_clock::time_point notBefore_[2] = {};
    bool walked_ = false;
    std::chrono::steady_clock::time_point walkStart_ = {};
    int listSize_ = 0;                  // the rows an imported list wants; 0: the dialog's count
    bool escapeSeen_ = false;           // the calling thread's
    std::vector<std::string> notices_;  // in the order they came
    size_t noticesShown_ = 0;           // the calling thread's
    bool told_[2] = {false, false};
    bool toldNoPort_ = false;
    std::set<std::string> toldOnce_[2];
    // Answers in a row that came whole but did not read.
    int unreadableInRow_[2] = {0, 0};
    std::string gaveUp_;
    // Set by the calling thread when Escape was seen or the run unwinds.
    std::atomic<bool> halt_{false};
    int waitedTold_ = 0;  // whole seconds last told to ShowWaiting
};

}  // namespace vx
