#include "engine/headless_run.h"

namespace vx {

namespace {
struct Quiet : StatusSink, EventPump, KeyState, InvestigateInputs {
    explicit Quiet(const HeadlessResearch& r) : request(r) {}
    void SetStatusText(const std::string&) override {}
    void PumpEvents() override {}
    bool EscapeDown() override { return false; }
    std::string TargetSite() override { return request.site; }
    std::string PageDepthText() override { return request.depthText; }
    int ResultCount() override { return request.results; }
    const HeadlessResearch& request;
};
}  // namespace

void RunHeadlessResearch(const HeadlessResearch& request, ResultsTable& table) {
    Quiet quiet(request);
    StopFlag stop;
    Research research({quiet,
                       quiet,
                       quiet,
                       stop,
                       quiet,
                       table,
                       ServiceHostsFromEnvironment(),
                       {},
                       table.DecimalSeparator()});
    try {
        research.RunInvestigation(request.keyword);
    } catch (const std::exception&) {
    }
}

}  // namespace vx
