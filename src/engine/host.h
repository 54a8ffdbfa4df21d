// What the research engine needs from whoever hosts it (the window, the
// headless tool, a test): status text, an event pump, the Escape key, the
// stop request, the Investigate dialog's entries and a page fetcher. Kept
// apart from the engine so hosts include only this.
#pragma once

#include <functional>
#include <string>

namespace vx {

// How far a run has come: rows completed of the rows wanted, and result
// pages searched so far for the row in progress.
struct RunProgress {
    int rowsDone = 0;
    int rowsWanted = 0;
    int pagesSearched = 0;
};

class StatusSink {
  public:
    virtual ~StatusSink() = default;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void ShowProgress(const RunProgress&) {}
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
    std::string body;
    bool complete = false;
    bool answered = false;
};
// Never raises.
using PageFetcher = std::function<FetchedPage(const std::string& url)>;

// "host" or "host:port" of the two services.
struct ServiceHosts {
    std::string suggest;
    std::string search;
};

constexpr int kDefaultServicesPort = 47080;
// From VEXORIN_SUGGEST_HOST and VEXORIN_SEARCH_HOST; unset ones name the
// bundled stand-in services on loopback.
ServiceHosts ServiceHostsFromEnvironment();

}  // namespace vx
