#include "engine/headless_run.h"

namespace vx {

RunOutcome RunHeadlessResearch(const HeadlessResearch& request, ResultsTable& table,
                               const PageFetcher& fetch, StopFlag& stop,
                               std::function<void()> cancelFetches,
                               std::vector<std::string>* notices) {
    QuietHost quiet(request);
    ServiceHosts hosts = request.hosts ? *request.hosts : ServiceHostsFromEnvironment();
    if (!request.sources.suggestHost.empty()) hosts.suggest = request.sources.suggestHost;
    if (!request.sources.searchHost.empty()) hosts.search = request.sources.searchHost;
    Research research({.status = quiet,
                       .pump = quiet,
                       .keys = quiet,
                       .stop = stop,
                       .inputs = quiet,
                       .table = table,
                       .hosts = hosts,
                       .fetch = fetch,
                       .decimalSeparator = table.DecimalSeparator(),
                       .policy = request.policy,
                       .fetchAnyThread = fetch,
                       .cancelFetches = std::move(cancelFetches),
                       .suggestSource = request.sources.suggest,
                       .searchSource = request.sources.search,
                       .fetchRequest = request.fetchRequest});
    try {
        if (!request.terms.empty()) {
            research.RunList(request.terms);
        } else if (request.moreKeywords.empty()) {
            research.RunInvestigation(request.keyword);
        } else {
            std::vector<std::string> seeds = {request.keyword};
            seeds.insert(seeds.end(), request.moreKeywords.begin(), request.moreKeywords.end());
            research.RunSeeds(seeds);
        }
    } catch (const std::exception&) {
    }
    if (notices) *notices = research.Notices();
    return research.Outcome();
}

}  // namespace vx
