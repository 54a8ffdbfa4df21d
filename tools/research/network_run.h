// The headless tool's research over the network: its fetchers (one host
// cache, one TLS context, a keep-alive pool for profile services), the
// progress line on a terminal, and Ctrl-C or SIGTERM ending the run.
#pragma once

#include <string>
#include <vector>

#include "engine/headless_run.h"

namespace vx::tool {

// Runs the research; notices gets what the user must hear once a service.
// The first Ctrl-C or SIGTERM stops it with the rows so far.
RunOutcome ResearchOverNetwork(const HeadlessResearch& research, ResultsTable& table,
                               std::vector<std::string>* notices);
// The signal that stopped a run; 0 while none did.
int InterruptSignal();

}  // namespace vx::tool
