// Which tracked terms moved between two checks, and how a check tells it.
#pragma once

#include <string>
#include <vector>

#include "history/project_store.h"
#include "results/preferences.h"

namespace vx {

struct RankMove {
    std::string term;
    Rank before, after;
};

// "4", "-" (not within the pages searched), "?" (not known).
std::string RankText(Rank rank);

// Terms whose rank is known before and after and that entered or left the
// top 10, appeared on or vanished from the pages searched, or moved by at
// least `places`; biggest first (top-10 changes, then by places moved).
// before: each term's last known rank; after: what the check found.
std::vector<RankMove> MovedTerms(const std::vector<TrackedTerm>& before,
                                 const std::vector<std::pair<std::string, Rank>>& after,
                                 int places);

// One desktop notification a check: the project and how many terms moved;
// the biggest moves, one a line (at most five, then how many more).
struct CheckNotice {
    std::string summary, body;
};
CheckNotice NoticeOf(const std::string& project, const std::vector<RankMove>& moves);

}  // namespace vx
