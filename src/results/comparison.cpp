#include "results/comparison.h"

#include <map>

#include "core/text.h"

namespace vx {

const char* ToString(TermStatus status) {
    switch (status) {
        case TermStatus::New:
            return "new";
        case TermStatus::Gone:
            return "gone";
        case TermStatus::Changed:
            return "changed";
        case TermStatus::Same:
            return "same";
    }
    return "";
}

namespace {
// Each term's first row, by its case-folded key.
std::map<std::string, int> FirstRows(const ResultsTable& table) {
    std::map<std::string, int> rows;
    for (int i = 0; i < table.Count(); ++i) rows.try_emplace(FoldCase(table.At(i).KeyTerm()), i);
    return rows;
}

std::string Signed(int64_t n) {
    return n > 0 ? "+" + std::to_string(n) : std::to_string(n);
}
}  // namespace

std::vector<TermChange> CompareTables(const ResultsTable& older, const ResultsTable& newer) {
    const std::map<std::string, int> oldRows = FirstRows(older), newRows = FirstRows(newer);
    std::vector<TermChange> out;
    for (int i = 0; i < newer.Count(); ++i) {
        const ResultRow& n = newer.At(i);
        const std::string key = FoldCase(n.KeyTerm());
        if (newRows.at(key) != i) continue;
        TermChange c;
        c.term = std::string(n.KeyTerm());
        c.demandNew = n.Text(colDemand);
        c.competitionNew = n.Text(colCompetition);
        c.rankNew = n.Text(colRank);
        const auto old = oldRows.find(key);
        if (old == oldRows.end()) {
            c.status = TermStatus::New;
        } else {
            const ResultRow& o = older.At(old->second);
            c.demandOld = o.Text(colDemand);
            c.competitionOld = o.Text(colCompetition);
            c.rankOld = o.Text(colRank);
            c.status = c.demandOld == c.demandNew && c.competitionOld == c.competitionNew &&
                               c.rankOld == c.rankNew
                           ? TermStatus::Same
                           : TermStatus::Changed;
            const auto a = ReadWholeNumber64(c.rankOld), b = ReadWholeNumber64(c.rankNew);
            if (a && b) c.rankChange = Signed(*a - *b);
        }
        out.push_back(std::move(c));
    }
    for (int i = 0; i < older.Count(); ++i) {
        const ResultRow& o = older.At(i);
        const std::string key = FoldCase(o.KeyTerm());
        if (oldRows.at(key) != i || newRows.count(key)) continue;
        TermChange c;
        c.term = std::string(o.KeyTerm());
        c.status = TermStatus::Gone;
        c.demandOld = o.Text(colDemand);
        c.competitionOld = o.Text(colCompetition);
        c.rankOld = o.Text(colRank);
        out.push_back(std::move(c));
    }
    return out;
}

std::map<std::string, TermChange> ChangesByTerm(const std::vector<TermChange>& changes) {
    std::map<std::string, TermChange> byTerm;
    for (const TermChange& c : changes) byTerm.try_emplace(FoldCase(c.term), c);
    return byTerm;
}

int CompareChanges(const TermChange* a, const TermChange* b) {
    const auto va = a ? ReadWholeNumber64(a->rankChange) : std::nullopt;
    const auto vb = b ? ReadWholeNumber64(b->rankChange) : std::nullopt;
    if (va && vb) return *va > *vb ? -1 : (*va < *vb ? 1 : 0);
    return va ? -1 : (vb ? 1 : 0);
}

std::string ChangeMark(const TermChange& change) {
    if (change.status == TermStatus::New) return "new";
    if (change.rankChange == "-" || change.rankChange == "0") return "";
    const bool up = change.rankChange[0] == '+';
    return std::string(up ? "\u25B2 " : "\u25BC ") + change.rankChange.substr(1);
}

std::string ChangeWords(const TermChange& change) {
    if (change.status == TermStatus::Gone) return "gone";
    if (change.status == TermStatus::New) return "new";
    if (change.rankChange == "-" || change.rankChange == "0") return "";
    const std::string places = change.rankChange.substr(1);
    return std::string(change.rankChange[0] == '+' ? "up " : "down ") + places +
           (places == "1" ? " place" : " places");
}

}  // namespace vx
