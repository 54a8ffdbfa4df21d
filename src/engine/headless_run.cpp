#include "engine/headless_run.h"

namespace vx {

std::string RunHeadlessResearch(const HeadlessResearch& request, ResultsTable& table,
                                const PageFetcher& fetch) {
    QuietHost quiet(request);
    StopFlag stop;
    Research research({.status = quiet,
                       .pump = quiet,
                       .keys = quiet,
                       .stop = stop,
                       .inputs = quiet,
                       .table = table,
                       .hosts = ServiceHostsFromEnvironment(),
                       .fetch = fetch,
                       .decimalSeparator = table.DecimalSeparator()});
    try {
        research.RunInvestigation(request.keyword);
    } catch (const std::exception&) {
    }
    return research.GaveUp();
}

}  // namespace vx
