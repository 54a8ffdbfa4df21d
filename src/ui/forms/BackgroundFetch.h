// Page fetches off the GUI thread. Fetch runs one on a worker thread while
// the GUI thread keeps serving events until it returns, so the engine sees
// one blocking call and the window never freezes; FetchAnyThread blocks the
// thread that calls it, for the run's lookup threads, several at once.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/host.h"
#include "net/http_client.h"

namespace vx::ui {

class BackgroundFetcher {
  public:
    explicit BackgroundFetcher(const NetLimits& limits = DefaultNetLimits());

    // A new run with these bounds: fetches connect again.
    void BeginRun(const NetLimits& limits);
    void BeginRun() { BeginRun(limits_); }
    // The fetch in flight ends at once with what had arrived; until the next
    // BeginRun every fetch returns at once without connecting. Any thread.
    void Cancel();
    bool Cancelled() const { return cancel_->Cancelled(); }

    // The body bytes that arrived; GUI events are served meanwhile.
    FetchedPage Fetch(const std::string& url);
    // A profile service's request, the same way; waits are told with its
    // URL as shown (secrets masked).
    FetchedPage Fetch(const ServiceRequest& request);
    // The same from any thread but the GUI's, which it would block; safe
    // from several at once.
    FetchedPage FetchAnyThread(const std::string& url) const;
    FetchedPage FetchAnyThread(const ServiceRequest& request) const;

    // Told every second once a fetch has waited kWaitingAfterMs, with the
    // seconds waited so far; then once more with -1 when the wait is over.
    std::function<void(const std::string& url, int seconds)> onWaiting;
    static constexpr int kWaitingAfterMs = 2000;

  private:
    // Classic pages go on a connection each; profile services' requests
    // share the run's kept-alive connections.
    FetchedPage FetchWith(const ServiceRequest& request, std::shared_ptr<ConnectionPool> pool);

    NetLimits limits_;
    std::shared_ptr<CancelSignal> cancel_;
    std::shared_ptr<HostCache> hosts_;
    std::shared_ptr<TlsContext> tls_;
    std::shared_ptr<ConnectionPool> pool_;
};

}  // namespace vx::ui
