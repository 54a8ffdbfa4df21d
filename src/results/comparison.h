// Two investigations compared term by term: which key terms are new, gone,
// changed or the same, and how each one's rank moved.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "results/results_table.h"

namespace vx {

enum class TermStatus { New, Gone, Changed, Same };
// "new", "gone", "changed", "same".
const char* ToString(TermStatus status);

struct TermChange {
    std::string term;  // as the newer table writes it (the older for a gone one)
    TermStatus status = TermStatus::Same;
    std::string demandOld, demandNew, competitionOld, competitionNew, rankOld, rankNew;
    // Old rank minus new with its sign ("+20" for 23 -> 3, "-4", "0"); "-"
    // when either rank is not a number.
    std::string rankChange = "-";
};

// The newer table's terms in its order, then the gone ones in the older's;
// terms match without regard to case (FoldCase), the first row of each counting.
// Changed: the demand, the competition or the rank differs.
std::vector<TermChange> CompareTables(const ResultsTable& older, const ResultsTable& newer);

// The change as the window shows it: "▲ n" when the rank moved up (a smaller
// number), "▼ n" when down, "new" for a term not there before, else nothing.
std::string ChangeMark(const TermChange& change);

// The same in words: "up 4 places", "down 1 place", "new", "gone", or
// nothing.
std::string ChangeWords(const TermChange& change);

// The changes by case-folded key term, for finding a row's.
std::map<std::string, TermChange> ChangesByTerm(const std::vector<TermChange>& changes);
// The order of a sort by the change: the biggest rise first, then smaller
// rises, no change, falls, and last the terms whose change is not a number.
int CompareChanges(const TermChange* a, const TermChange* b);

}  // namespace vx
