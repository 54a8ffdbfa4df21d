// The research run: suggestion page -> rows, each filled column by column
// with competition, cost, rank, profitability and prospects. GUI-free; it
// reaches the rest of the system only through the interfaces below.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "results/results_table.h"

namespace vx {

class StatusSink {
  public:
    virtual ~StatusSink() = default;
    virtual void SetStatusText(const std::string& text) = 0;
};

class EventPump {
  public:
    virtual ~EventPump() = default;
    // Handles every pending GUI event, then returns.
    virtual void PumpEvents() = 0;
};

class KeyState {
  public:
    virtual ~KeyState() = default;
    virtual bool EscapeDown() = 0;
};

// The process-wide stop request: set by Stop (and Cancel), cleared by
// Investigate and when a run starts filling the table.
class StopFlag {
  public:
    bool Requested() const { return requested_; }
    void Set() { requested_ = true; }
    void Clear() { requested_ = false; }

  private:
    bool requested_ = false;
};

// The Investigate dialog's current entries, read afresh for every row.
class InvestigateInputs {
  public:
    virtual ~InvestigateInputs() = default;
    virtual std::string TargetSite() = 0;
    virtual std::string PageDepthText() = 0;
    virtual int ResultCount() = 0;
};

// "host" or "host:port" of the two services.
struct ServiceHosts {
    std::string suggest;
    std::string search;
};

constexpr int kDefaultServicesPort = 47080;
// From VEXORIN_SUGGEST_HOST and VEXORIN_SEARCH_HOST; unset ones name the
// bundled stand-in services on loopback.
ServiceHosts ServiceHostsFromEnvironment();

using PageFetcher = std::function<std::string(const std::string& url)>;

struct ResearchContext {
    StatusSink& status;
    EventPump& pump;
    KeyState& keys;
    StopFlag& stop;
    InvestigateInputs& inputs;
    ResultsTable& table;
    ServiceHosts hosts;
    PageFetcher fetch;  // FetchPage when empty
    char decimalSeparator = '.';
};

// Raised when the page depth does not read as a whole number; the row is
// completed first.
struct ResearchFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Research {
  public:
    explicit Research(ResearchContext context);

    void RunInvestigation(const std::string& keyword);
    void FillResultsFromSuggestions(const std::string& page);
    std::string LookupCompetition(const std::string& keyTerm);
    std::string FindRank(const std::string& keyTerm, const std::string& target, int pageDepth);

    std::string SuggestionUrl(const std::string& keyword) const;

  private:
    std::string Fetch(const std::string& url);
    void Pump() { ctx_.pump.PumpEvents(); }

    ResearchContext ctx_;
};

}  // namespace vx
