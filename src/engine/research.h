// The research run: suggestion page -> rows, each filled column by column
// with competition, cost, rank, profitability and prospects. GUI-free and
// network-free; it reaches the rest of the system only through its host.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "engine/host.h"
#include "results/results_table.h"

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
    PageFetcher fetch;
    char decimalSeparator = '.';
};

// Raised when the page depth does not read as a whole number; the row is
// completed first.
struct ResearchFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A run is not re-entrant, and its host keeps it so. In the window the run
// executes inside Start while its pump serves events; a Start or Open given
// then does not touch the table: it stops the run and waits for it to
// return (TForm1::AfterRun queues it; a second Start only once), and the
// table drops writes to rows a Clear removed (row ids). The headless tool
// pumps nothing, so nothing can re-enter.
class Research {
  public:
    explicit Research(ResearchContext context);

    void RunInvestigation(const std::string& keyword);
    void FillResultsFromSuggestions(const std::string& page);
    std::string LookupCompetition(const std::string& keyTerm);
    std::string FindRank(const std::string& keyTerm, const std::string& target, int pageDepth);

    std::string SuggestionUrl(const std::string& keyword) const;

    // Set when a service stopped answering and the run gave up on it: "The
    // search service at host:port is not answering." Empty otherwise.
    const std::string& GaveUp() const { return gaveUp_; }
    // Failed fetches in a row (no answer at all) after which a run gives up.
    static constexpr int kFailuresBeforeGivingUp = 3;

  private:
    enum Service { kSuggest, kSearch };
    // Counts fetches that got no answer; the third in a row gives up on the
    // service. A service given up on is not asked again.
    FetchedPage Fetch(Service service, const std::string& url);
    std::string SearchUrl(const std::string& phrase) const;
    void ReportProgress(int rowsDone, int pagesSearched);
    void Pump() { ctx_.pump.PumpEvents(); }

    ResearchContext ctx_;
    int failuresInRow_[2] = {0, 0};
    std::string gaveUp_;
};

}  // namespace vx
