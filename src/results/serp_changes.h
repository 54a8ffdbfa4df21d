// A term's top results over time: each run's top ten beside the run before
// that kept any, with what entered, what left and what moved (URLs compared
// in the one form clusters use).
#pragma once

#include <string>
#include <vector>

#include "results/top_results.h"

namespace vx {

struct SerpStep {
    std::string label;  // "run 12\t2026-12-01T10:00:00Z"
    std::vector<TopResult> top;
};

// Tab-separated: for each step its label, then a line a result: place, URL,
// and "first" (the first step with results), "new", "same", "up N" or
// "down N"; then a line for each result that left: "left", URL, "was N". A
// step with no results says "no top results kept" and is compared with none.
std::string FormatSerpChanges(const std::vector<SerpStep>& steps);

}  // namespace vx
