#include "ui/forms/BackgroundFetch.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

namespace vx::ui {

BackgroundFetcher::BackgroundFetcher(const NetLimits& limits)
    : limits_(limits), cancel_(std::make_shared<CancelSignal>()) {}

namespace {
FetchedPage ToPage(PageAnswer answer) {
    return FetchedPage::From(std::move(answer));
}
}  // namespace

void BackgroundFetcher::BeginRun(const NetLimits& limits) {
    limits_ = limits;
    // A triggered signal stays triggered; a fresh one serves the new run.
    if (cancel_->Cancelled()) cancel_ = std::make_shared<CancelSignal>();
    // Each run looks every service's host up once, and sets TLS up once.
    hosts_ = std::make_shared<HostCache>();
    tls_ = TlsContext::ForRun(limits.caFile);
    pool_ = std::make_shared<ConnectionPool>(kMaxParallel);
}

void BackgroundFetcher::Cancel() {
    cancel_->Cancel();
}

FetchedPage BackgroundFetcher::Fetch(const std::string& url) {
    ServiceRequest request;
    request.url = url;
    return FetchWith(request, pool_);
}

FetchedPage BackgroundFetcher::Fetch(const ServiceRequest& request) {
    return FetchWith(request, pool_);
}

FetchedPage BackgroundFetcher::FetchWith(const ServiceRequest& request,
                                         std::shared_ptr<ConnectionPool> pool) {
    const std::string url = request.ShownUrl();
    const std::shared_ptr<CancelSignal> cancel = cancel_;
    if (cancel->Cancelled()) return {};
    struct Result {
        PageAnswer answer;
        std::atomic<bool> done{false};
    };
    auto result = std::make_shared<Result>();
    QEventLoop loop;
    std::thread worker(
        [result, request, cancel, hosts = hosts_, tls = tls_, limits = limits_, pool, &loop] {
            result->answer = FetchAnswer(request, limits, cancel, hosts, tls, pool);
            result->done.store(true, std::memory_order_release);
            // Queued to the GUI thread; the loop outlives the worker (joined below).
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    // A long wait is said in whole seconds while it lasts.
    QElapsedTimer waited;
    waited.start();
    QTimer ticker;
    bool told = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ticker.setInterval(1000);
        told = true;
        if (onWaiting) onWaiting(url, static_cast<int>((waited.elapsed() + 500) / 1000));
    });
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setSingleShot(false);
    ticker.start(kWaitingAfterMs);
    if (!result->done.load(std::memory_order_acquire)) loop.exec();
    ticker.stop();
    if (told && onWaiting) onWaiting(url, -1);
    // The loop also ends when the application quits: end the fetch then too.
    if (!result->done.load(std::memory_order_acquire)) cancel->Cancel();
    worker.join();
    return ToPage(std::move(result->answer));
}

FetchedPage BackgroundFetcher::FetchAnyThread(const std::string& url) const {
    // The run's signal and cache: set by BeginRun before any lookup starts.
    if (cancel_->Cancelled()) return {};
    ServiceRequest request;
    request.url = url;
    return ToPage(FetchAnswer(request, limits_, cancel_, hosts_, tls_, pool_));
}

FetchedPage BackgroundFetcher::FetchAnyThread(const ServiceRequest& request) const {
    if (cancel_->Cancelled()) return {};
    return ToPage(FetchAnswer(request, limits_, cancel_, hosts_, tls_, pool_));
}

}  // namespace vx::ui
