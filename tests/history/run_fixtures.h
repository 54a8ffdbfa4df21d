// Rows and runs the history suites record.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "history/run_history.h"

namespace vx::testing {

// Rows of a key term and its texts; a term "off" is unchecked.
inline std::vector<ResultRow> Rows(std::initializer_list<std::vector<std::string>> rows) {
    std::vector<ResultRow> out;
    for (const auto& r : rows)
        out.emplace_back(r[0], std::vector<std::string>(r.begin() + 1, r.end()), r[0] != "off");
    return out;
}

inline HistoryRun MakeRun(const std::string& started, const std::string& seed) {
    HistoryRun run;
    run.started = started;
    run.seed = seed;
    run.site = "mysite.com";
    run.depth = "5";
    run.parallel = 4;
    run.retries = 2;
    return run;
}

}  // namespace vx::testing
