#include "results/opportunity.h"

#include <algorithm>
#include <cmath>

#include "core/text.h"

namespace vx {

namespace {

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2 == 1) return upper;
    const double lower = *std::max_element(v.begin(), v.begin() + static_cast<long>(mid));
    return (lower + upper) / 2;
}

}  // namespace

Opportunities OpportunitiesOf(const ResultsTable& table) {
    Opportunities out;
    out.points.reserve(static_cast<size_t>(table.Count()));
    std::vector<double> demands, competitions;
    const char sep = table.DecimalSeparator();
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        const auto demand = ReadGroupedWholeNumber(row.Text(colDemand));
        const auto competition = ReadGroupedWholeNumber(row.Text(colCompetition));
        if (!demand || !competition || *demand <= 0 || *competition <= 0) {
            // A row a run is still filling is not yet a row that failed.
            if (row.ColumnCount() >= kColumnCount - 1) ++out.notPlotted;
            continue;
        }
        const std::string_view profit = WithoutPercentSign(row.Text(colProfitability));
        OpportunityPoint p;
        p.id = row.id;
        p.row = i;
        p.demand = static_cast<double>(*demand);
        p.competition = static_cast<double>(*competition);
        p.profitability = ReadDecimal(profit, sep).value_or(0.0);
        p.prospects = ReadGroupedWholeNumber(row.Text(colProspects)).value_or(0);
        p.checked = row.checked;
        out.points.push_back(p);
        demands.push_back(p.demand);
        competitions.push_back(p.competition);
    }
    out.medianDemand = Median(std::move(demands));
    out.medianCompetition = Median(std::move(competitions));
    return out;
}

std::vector<const OpportunityPoint*> MostPromising(const Opportunities& data, size_t most) {
    std::vector<const OpportunityPoint*> best;
    for (const OpportunityPoint& p : data.points)
        if (p.demand > data.medianDemand && p.competition < data.medianCompetition)
            best.push_back(&p);
    std::stable_sort(best.begin(), best.end(), [](const auto* a, const auto* b) {
        return a->demand / a->competition > b->demand / b->competition;
    });
    if (best.size() > most) best.resize(most);
    return best;
}

PointColor ColorFor(double profitability, bool checked) {
    PointColor c{150, 150, 150, 255};
    if (profitability < 0) {
        c = {210, 40, 40, 255};
    } else if (profitability > 0) {
        // Pale (200, 235, 200) at the smallest profit to strong (20, 130, 30) at 100 %.
        const double t = std::clamp(profitability / 100.0, 0.0, 1.0);
        c = {static_cast<int>(std::lround(200 - 180 * t)),
             static_cast<int>(std::lround(235 - 105 * t)),
             static_cast<int>(std::lround(200 - 170 * t)), 255};
    }
    if (!checked) c.alpha = 70;
    return c;
}

double MarkerSize(int64_t prospects) {
    if (prospects <= 0) return 6;
    return std::min(22.0, 6 + 3 * std::log10(static_cast<double>(prospects) + 1));
}

}  // namespace vx
