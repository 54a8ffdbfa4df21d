// A research through the classic pages against the same through a JSON
// search API as the shipped SerpApi profile asks it (ten results a request,
// as Google serves them),
// both against the stand-in services at 50 ms a request: depth 5, 30 rows,
// 4 at once, a site never listed (every page walked). Requests per row and
// wall time, side by side in one run.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/headless_run.h"
#include "net/http_client.h"
#include "sources/serp_json_search.h"
#include "stand_in_server.h"

namespace {

struct Figures {
    double seconds = 0;
    int requests = 0, rows = 0;
};

Figures Run(const std::shared_ptr<vx::SearchSource>& search) {
    vx::HeadlessResearch request{"cheap seo garden tools", "never-listed.invalid", "5", 30};
    request.policy = {.parallel = 4, .retries = 0};
    request.sources.search = search;
    request.sources.searchHost = "stand-in";
    std::atomic<int> requests{0};
    const auto pool = std::make_shared<vx::ConnectionPool>(4);
    request.fetchRequest = [&](const vx::ServiceRequest& r) {
        ++requests;
        return vx::FetchedPage::From(
            vx::FetchAnswer(r, vx::DefaultNetLimits(), nullptr, nullptr, nullptr, pool));
    };
    vx::ResultsTable table;
    vx::StopFlag stop;
    const auto t0 = std::chrono::steady_clock::now();
    vx::RunHeadlessResearch(
        request, table,
        [&](const std::string& url) {
            ++requests;
            return vx::FetchedPage::From(vx::FetchAnswer(url, vx::DefaultNetLimits()));
        },
        stop);
    Figures f;
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    f.requests = requests;
    f.rows = table.Count();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sources_bench PROFILE.json (the shipped serpapi.json)\n");
        return 2;
    }
    vx::services::StandInServer server(0, {.latencyMs = 50});
    std::atomic<bool> stop{false};
    std::thread serve([&] { server.Run(stop); });
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    ::setenv("VEXORIN_SUGGEST_HOST", host.c_str(), 1);
    ::setenv("VEXORIN_SEARCH_HOST", host.c_str(), 1);
    std::ifstream in(argv[1]);
    std::ostringstream text;
    text << in.rdbuf();
    vx::ServiceProfile profile = vx::ReadServiceProfile("serpapi", argv[1], text.str());
    profile.base = "http://" + host;
    if (!profile.error.empty()) {
        std::fprintf(stderr, "sources_bench: %s\n", profile.error.c_str());
        return 1;
    }
    const Figures classic = Run(nullptr);
    const Figures api = Run(std::make_shared<vx::SerpJsonSearch>(
        profile, std::map<std::string, std::string>{{"serpapi_key", "made-up"}}));
    stop = true;
    serve.join();
    // One suggestion request a run, then the rows' requests.
    auto perRow = [](const Figures& f) {
        return f.rows ? static_cast<double>(f.requests - 1) / f.rows : 0.0;
    };
    std::printf(
        "sources: depth 5, %d rows, 4 at once, 50 ms a request: classic %.1f requests a "
        "row, %.2f s; JSON API at %d a request %.1f requests a row, %.2f s; wall time "
        "ratio %.3f\n",
        classic.rows, perRow(classic), classic.seconds,
        profile.fields.value("results_per_request", 0), perRow(api), api.seconds,
        api.seconds / classic.seconds);
    return classic.rows == api.rows && classic.rows > 0 ? 0 : 1;
}
