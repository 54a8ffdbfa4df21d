// A research run without a window, for the headless tool.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <optional>
#include "engine/research.h"
#include "results/dialog_limits.h"

#include "sources/service_choice.h"

namespace vx {

struct HeadlessResearch {
    std::string keyword;
    std::string site;
    std::string depthText = "3";
    int results = kDefaultResults;
    LookupPolicy policy = {.parallel = kDefaultParallel, .retries = kDefaultRetries};
    // An imported list to research instead of the keyword's suggestions.
    std::vector<ImportedTerm> terms = {};
    // Further seeds: their suggestions follow the keyword's, repeats dropped.
    std::vector<std::string> moreKeywords = {};
    // Profile services and how their requests are fetched (from any
    // thread); none: the classic services.
    ChosenSources sources = {};
    RequestFetcher fetchRequest = {};
    // The classic services' addresses; none: the environment's, else the
    // bundled ones (a window's run gives its Preferences').
    std::optional<ServiceHosts> hosts = {};
    // Told how far the run has come (on the run's thread); may be empty.
    std::function<void(const RunProgress&)> onProgress = {};
};

// The engine's surroundings without a window: nothing to show or pump, no
// Escape key, the entries given up front.
class QuietHost : public StatusSink, public EventPump, public KeyState, public InvestigateInputs {
  public:
    explicit QuietHost(HeadlessResearch request) : request_(std::move(request)) {}
    void SetStatusText(const std::string&) override {}
    void ShowProgress(const RunProgress& p) override {
        if (request_.onProgress) request_.onProgress(p);
    }
    void PumpEvents() override {}
    bool EscapeDown() override { return false; }
    std::string TargetSite() override { return request_.site; }
    std::string PageDepthText() override { return request_.depthText; }
    int ResultCount() override { return request_.results; }

  private:
    HeadlessResearch request_;
};

// Runs the real engine against the hosts from the environment, fetching
// through fetch (from several threads at once when the policy looks rows up
// in parallel); a fault that escapes the run is discarded, as the desktop's
// Start command does. Setting stop (a signal handler may) ends the run with
// the rows it has; cancelFetches, if given, ends the fetches in flight.
// Returns how the run ended (Research::Outcome).
RunOutcome RunHeadlessResearch(const HeadlessResearch& request, ResultsTable& table,
                               const PageFetcher& fetch, StopFlag& stop,
                               std::function<void()> cancelFetches = {},
                               std::vector<std::string>* notices = nullptr);

}  // namespace vx
