// What the research engine needs from whoever hosts it (the window, the
// headless tool, a test): status text, an event pump, the Escape key, the
// stop request, the Investigate dialog's entries and a page fetcher. Kept
// apart from the engine so hosts include only this.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "core/service_request.h"
#include "results/preferences.h"
#include "sources/service_choice.h"

namespace vx {

// How far a run has come: rows completed of the rows wanted, and result
// pages searched so far for the row in progress.
struct RunProgress {
    int rowsDone = 0;
    int rowsWanted = 0;
    int pagesSearched = 0;
    long long elapsedMs = 0;  // since the rows began
    long long leftMs = -1;    // an estimate from the rows done so far; -1: none yet
    int pagesPerRow = 0;      // the page depth; 0 when it does not read
    int rowsAtOnce = 1;       // pagesSearched is of one row only when 1
    // "120 of 2000 rows, 1:05 elapsed, about 17:01 left".
    std::string Text() const;
};

class StatusSink {
  public:
    virtual ~StatusSink() = default;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void ShowProgress(const RunProgress&) {}
    // A fetch has kept the run waiting that many whole seconds (told once a
    // second from 2 s on); -1 once no fetch keeps it waiting any more.
    virtual void ShowWaiting(const std::string& /*url*/, int /*seconds*/) {}
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
    // Called from a run's lookup threads too when it looks rows up in parallel.
    virtual bool EscapeDown() = 0;
};

// The process-wide stop request: set by Stop (and Cancel), cleared by
// Investigate and when a run starts filling the table. A run's lookup
// threads read it; a signal handler may set it.
class StopFlag {
  public:
    bool Requested() const { return requested_.load(std::memory_order_acquire); }
    void Set() { requested_.store(true, std::memory_order_release); }
    void Clear() { requested_.store(false, std::memory_order_release); }

  private:
    std::atomic<bool> requested_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

// The Investigate dialog's current entries, read afresh for every row.
class InvestigateInputs {
  public:
    virtual ~InvestigateInputs() = default;
    virtual std::string TargetSite() = 0;
    virtual std::string PageDepthText() = 0;
    virtual int ResultCount() = 0;
};

// One fetched page: the body bytes that arrived, whatever happened on the
// way; whether the answer came whole with a 2xx status; and whether the
// service answered at all (a status line arrived). A bare text (as test
// fetchers give) is a whole answer unless it is empty.
struct FetchedPage {
    FetchedPage() = default;
    FetchedPage(std::string text)  // NOLINT
        : body(std::move(text)), complete(!body.empty()), answered(complete) {}
    FetchedPage(std::string text, bool whole, bool gotAnswer)
        : body(std::move(text)), complete(whole), answered(gotAnswer) {}
    FetchedPage(const char* text) : FetchedPage(std::string(text)) {}  // NOLINT
    // From the network layer's answer (PageAnswer), which the engine does
    // not see: every field that has a match here.
    template <class Answer>
    static FetchedPage From(Answer answer) {
        FetchedPage page(std::move(answer.body), answer.complete, answer.answered);
        page.transient = answer.transient;
        page.retryAfterSeconds = answer.retryAfterSeconds;
        page.status = answer.status;
        page.statusLine = std::move(answer.statusLine);
        page.problem = std::move(answer.problem);
        page.noLocalPort = answer.noLocalPort;
        page.oversized = answer.oversized;
        return page;
    }
    std::string body;
    bool complete = false;
    bool answered = false;
    // The failure may pass if asked again (no connection, a time-out, 429 or
    // 5xx), after the service's Retry-After in seconds when it gave one (-1).
    bool transient = false;
    int retryAfterSeconds = -1;
    // The answer's status code and line ("HTTP/1.1 503 Service
    // Unavailable"), when one came.
    int status = 0;
    std::string statusLine;
    // What the user must hear about the service (a failed TLS handshake and
    // its reason, an answer cut short); empty for an ordinary failure.
    std::string problem;
    // This computer had no local port free: nothing to hold against the service.
    bool noLocalPort = false;
    // A JSON answer past its size bound (complete, with no body).
    bool oversized = false;
};
// Never raises.
using PageFetcher = std::function<FetchedPage(const std::string& url)>;
// A profile service's request (method, headers, body); never raises.
using RequestFetcher = std::function<FetchedPage(const ServiceRequest& request)>;

// How a run looks rows up: how many at once, and how often a fetch that
// failed transiently is tried again, after how long.
struct LookupPolicy {
    int parallel = 1;             // 1..kMaxParallel rows looked up at once
    int retries = 0;              // 0..kMaxRetries further tries of a fetch
    int backoffMs = 500;          // before the first retry; doubled for each next
    int retryAfterCapMs = 30000;  // the longest a service's Retry-After is honoured
};
// VEXORIN_PARALLEL and VEXORIN_RETRIES, each when set and in range.
std::optional<int> ParallelFromEnvironment();
std::optional<int> RetriesFromEnvironment();
// The policy a run uses: the environment's values where set, else the
// preferences'.
LookupPolicy LookupPolicyFor(const Preferences& preferences);

// "host" or "host:port" of the two services.
struct ServiceHosts {
    std::string suggest;
    std::string search;
};

constexpr int kDefaultServicesPort = 47080;
// From VEXORIN_SUGGEST_HOST and VEXORIN_SEARCH_HOST; unset ones name the
// bundled stand-in services on loopback.
ServiceHosts ServiceHostsFromEnvironment();
// The same, with the preferences' addresses where the environment is silent.
// The profile services a run asks: the choices given (the tool's options),
// else the environment's (VEXORIN_SUGGEST_SERVICE, VEXORIN_SEARCH_SERVICE),
// else the preferences'; made with their secrets (environment, else
// keyring). None chosen: the classic services, as ever.
ChosenSources ChooseServices(std::optional<ServiceChoice> suggest,
                             std::optional<ServiceChoice> search, const Preferences& preferences);
ServiceHosts ServiceHostsFor(const Preferences& preferences);

}  // namespace vx
