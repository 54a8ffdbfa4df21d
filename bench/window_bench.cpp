// The window during a full research run (30 rows, depth 20) against the
// stand-in services with 40 ms latency, offscreen: how late a 20 ms timer
// fires while fetches run on worker threads (one row at a time and eight at
// once), and the run's wall time with
// the worker-thread fetch against the direct call, measured in the same run.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "engine/research.h"
#include "net/http_client.h"
#include "stand_in_server.h"
#include "ui/Application.h"
#include "ui/forms/BackgroundFetch.h"
#include "ui/forms/StartUnit.h"
#include "ui/forms/Unit1.h"
#include "ui/platform/EscapeKey.h"
#include "ui/platform/QtEventPump.h"

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Quiet : vx::StatusSink, vx::KeyState, vx::InvestigateInputs {
    void SetStatusText(const std::string&) override {}
    bool EscapeDown() override { return false; }
    std::string TargetSite() override { return "never-listed.example"; }
    std::string PageDepthText() override { return "20"; }
    int ResultCount() override { return 30; }
};

double EngineRun(const vx::PageFetcher& fetch) {
    Quiet q;
    vx::ui::QtEventPump pump;
    vx::StopFlag stop;
    vx::ResultsTable table;
    vx::Research research(
        {q, pump, q, stop, q, table, vx::ServiceHostsFromEnvironment(), fetch, '.'});
    const auto t0 = Clock::now();
    research.RunInvestigation("shoes");
    return Ms(Clock::now() - t0);
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    vx::services::StandInServer server(0, {.latencyMs = 40});
    std::atomic<bool> stop{false};
    std::thread serve([&] { server.Run(stop); });
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    ::setenv("VEXORIN_SUGGEST_HOST", host.c_str(), 1);
    ::setenv("VEXORIN_SEARCH_HOST", host.c_str(), 1);
    QApplication app(argc, argv);
    vx::ui::EscapeKey::Instance();

    // 1. The real window: timer lateness during the run, one row at a time
    // and eight at once.
    for (const char* parallel : {"1", "8"}) {
        ::setenv("VEXORIN_PARALLEL", parallel, 1);
        std::vector<double> late;
        char tmpl[] = "/tmp/vexorin-bench-XXXXXX";
        const std::string dir = ::mkdtemp(tmpl);
        vx::ui::Forms forms('.', dir + "/settings.reg");
        vx::ui::TForm1& w = *forms.Form1;
        vx::ui::TStartForm& d = *forms.StartForm;
        w.show();
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (!d.isVisible()) return;
            answer.stop();
            d.LabeledEdit1->setText(u"shoes"_s);
            d.HomepageEdit->setText(u"never-listed.example"_s);
            d.DepthCombo->setCurrentIndex(19);
            d.MaxResultsSpinEdit->SetValue(30);
            d.BitBtn1->click();
        });
        answer.start(5);
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(20);
        Clock::time_point last = Clock::now();
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            late.push_back(std::max(0.0, Ms(now - last) - 20));
            last = now;
        });
        tick.start();
        const auto t0 = Clock::now();
        w.BitBtn2->click();
        const double windowMs = Ms(Clock::now() - t0);
        tick.stop();
        std::sort(late.begin(), late.end());
        const double worst = late.empty() ? 0 : late.back();
        const double p99 = late.empty() ? 0 : late[late.size() * 99 / 100];
        std::printf(
            "window run, %s at once: %d rows in %.1f s; 20 ms timer: %zu ticks, lateness p99 "
            "%.1f ms, worst %.1f ms (goal: worst <= 50)\n",
            parallel, w.Table().Count(), windowMs / 1000, late.size(), p99, worst);
    }
    ::unsetenv("VEXORIN_PARALLEL");

    // 2. The engine's wall time, worker-thread fetch against the direct call.
    vx::ui::BackgroundFetcher background;
    const double threaded =
        EngineRun([&](const std::string& url) { return background.Fetch(url); });
    const double direct = EngineRun([](const std::string& url) {
        vx::PageAnswer a = vx::FetchAnswer(url);
        return vx::FetchedPage(std::move(a.body), a.complete, a.answered);
    });
    std::printf(
        "run wall time: worker-thread fetch %.1f s, direct call %.1f s, ratio %.3f (goal <= "
        "1.05)\n",
        threaded / 1000, direct / 1000, threaded / direct);
    stop = true;
    serve.join();
    return 0;
}
