#include "tracking/rank_moves.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "core/text.h"

namespace vx {

namespace {
bool InTop10(Rank r) {
    return r && *r >= 1 && *r <= 10;
}

// How much a move matters: crossing the top 10 first, then the places
// moved; leaving the pages counts as moving past every place on them.
int Weight(const RankMove& m) {
    const int crossing = InTop10(m.before) != InTop10(m.after) ? 1000000 : 0;
    const auto place = [](Rank r) { return *r == kNotRanked ? 10000 : *r; };
    return crossing + std::abs(place(m.before) - place(m.after));
}
}  // namespace

std::string RankText(Rank rank) {
    if (!rank) return "?";
    return *rank == kNotRanked ? "-" : std::to_string(*rank);
}

std::vector<RankMove> MovedTerms(const std::vector<TrackedTerm>& before,
                                 const std::vector<std::pair<std::string, Rank>>& after,
                                 int places) {
    std::unordered_map<std::string, Rank> last;
    for (const TrackedTerm& t : before) {
        // The latest check that could tell.
        for (auto r = t.recent.rbegin(); r != t.recent.rend(); ++r)
            if (*r) {
                last[FoldCase(t.term)] = *r;
                break;
            }
    }
    std::vector<RankMove> moves;
    for (const auto& [term, now] : after) {
        const auto found = last.find(FoldCase(term));
        if (!now || found == last.end()) continue;
        const Rank was = found->second;
        if (*was == *now) continue;
        const bool ranked = *was != kNotRanked && *now != kNotRanked;
        if (InTop10(was) != InTop10(now) || !ranked || std::abs(*was - *now) >= places)
            moves.push_back({term, was, now});
    }
    std::stable_sort(moves.begin(), moves.end(),
                     [](const RankMove& a, const RankMove& b) { return Weight(a) > Weight(b); });
    return moves;
}

CheckNotice NoticeOf(const std::string& project, const std::vector<RankMove>& moves) {
    CheckNotice n;
    n.summary = project + ": " + std::to_string(moves.size()) +
                (moves.size() == 1 ? " term moved" : " terms moved");
    const auto words = [](Rank r) {
        return *r == kNotRanked ? std::string("not ranked") : std::to_string(*r);
    };
    constexpr size_t kShown = 5;
    for (size_t i = 0; i < moves.size() && i < kShown; ++i)
        n.body += (i ? "\n" : "") + moves[i].term + ": " + words(moves[i].before) +
                  " \xE2\x86\x92 " + words(moves[i].after);
    if (moves.size() > kShown) n.body += "\nand " + std::to_string(moves.size() - kShown) + " more";
    return n;
}

}  // namespace vx
