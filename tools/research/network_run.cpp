#include "network_run.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>

#include "net/connection_pool.h"
#include "net/http_client.h"
#include "net/tls_context.h"

namespace vx::tool {

namespace {

// Ctrl-C and SIGTERM end a run: the handler asks it to stop and ends the
// fetches in flight (both async-signal-safe: a lock-free store and a write).
vx::StopFlag gStop;
vx::CancelSignal* gCancel = nullptr;
volatile std::sig_atomic_t gSignal = 0;

void OnSignal(int signal) {
    gSignal = signal;
    gStop.Set();
    if (gCancel) gCancel->Cancel();
}

void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    // A second Ctrl-C ends the tool at once.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// How far a run has come, on one line of a terminal that rewrites itself
// (at most ten times a second); nothing when stderr is a file or a pipe, so
// scripts' logs stay clean.
class ProgressLine {
  public:
    ProgressLine() : terminal_(::isatty(STDERR_FILENO) == 1) {}
    bool Wanted() const { return terminal_; }
    void Show(const vx::RunProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        if (shown_ && now - last_ < std::chrono::milliseconds(100) && p.rowsDone < p.rowsWanted)
            return;
        last_ = now;
        shown_ = true;
        Write("\r" + p.Text() + "\x1b[K");
    }
    ~ProgressLine() {
        if (shown_) Write("\r\x1b[K");
    }

  private:
    static void Write(const std::string& text) {
        if (::write(STDERR_FILENO, text.data(), text.size()) < 0) return;
    }
    bool terminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace

int InterruptSignal() {
    return gSignal;
}

RunOutcome ResearchOverNetwork(const HeadlessResearch& research, ResultsTable& table,
                               std::vector<std::string>* notices) {
    RunOutcome outcome;
    // Lives as long as the handler may use it.
    static const auto cancel = std::make_shared<vx::CancelSignal>();
    gCancel = cancel.get();
    CatchInterrupts();
    // Safe from several lookup threads at once: the cache locks.
    // One TLS context and its sessions for the run's secure fetches.
    const auto hosts = std::make_shared<vx::HostCache>();
    const auto tls = vx::TlsContext::ForRun();
    // Every service keeps its connections alive, at most one a row looked up
    // at once: a 10 000-term check opens a handful instead of tens of
    // thousands, each holding a local port for a minute after it closes.
    const auto pool = std::make_shared<vx::ConnectionPool>(research.policy.parallel);
    const auto fetch = [hosts, tls, pool](const std::string& url) {
        vx::ServiceRequest r;
        r.url = url;
        return vx::FetchedPage::From(
            vx::FetchAnswer(r, vx::DefaultNetLimits(), cancel, hosts, tls, pool));
    };
    {
        ProgressLine line;
        vx::HeadlessResearch request = research;
        request.fetchRequest = [hosts, tls, pool](const vx::ServiceRequest& r) {
            return vx::FetchedPage::From(
                vx::FetchAnswer(r, vx::DefaultNetLimits(), cancel, hosts, tls, pool));
        };
        if (line.Wanted()) request.onProgress = [&line](const vx::RunProgress& p) { line.Show(p); };
        outcome = vx::RunHeadlessResearch(
            request, table, fetch, gStop, [] { cancel->Cancel(); }, notices);
    }
    return outcome;
}

}  // namespace vx::tool
