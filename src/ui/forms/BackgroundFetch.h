// Page fetches off the GUI thread: each fetch runs on a worker thread while
// the GUI thread keeps serving events until it returns, so the engine still
// sees one blocking call and the window never freezes. One fetch at a time.
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

    // A new run: fetches connect again.
    void BeginRun();
    // The fetch in flight ends at once with what had arrived; until the next
    // BeginRun every fetch returns at once without connecting. Any thread.
    void Cancel();
    bool Cancelled() const { return cancel_->Cancelled(); }

    // The body bytes that arrived; GUI events are served meanwhile.
    FetchedPage Fetch(const std::string& url);

    // Told every second once a fetch has waited kWaitingAfterMs, with the
    // seconds waited so far; then once more with -1 when the wait is over.
    std::function<void(const std::string& url, int seconds)> onWaiting;
    static constexpr int kWaitingAfterMs = 2000;

  private:
    NetLimits limits_;
    std::shared_ptr<CancelSignal> cancel_;
    std::shared_ptr<HostCache> hosts_;
};

}  // namespace vx::ui
