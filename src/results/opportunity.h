// The table's rows as points of the opportunity chart: demand against
// competition, coloured by profitability and sized by estimated prospects.
// Plain data, so the window and the headless tool draw the same chart.
#pragma once

#include <cstdint>
#include <vector>

#include "results/results_table.h"

namespace vx {

struct OpportunityPoint {
    RowId id = 0;
    int row = 0;               // index in the table
    double demand = 0;         // > 0
    double competition = 0;    // > 0
    double profitability = 0;  // percent
    int64_t prospects = 0;
    bool checked = false;
};

struct Opportunities {
    std::vector<OpportunityPoint> points;
    int notPlotted = 0;  // complete rows whose demand or competition is not a number above 0
    double medianDemand = 0, medianCompetition = 0;
};

// Demand, competition and prospects read as whole numbers in 64 bits, digit
// groups ("1,200", "1.200", "1 200") as their number; profitability as a
// decimal without its "%".
Opportunities OpportunitiesOf(const ResultsTable& table);

// The points in the chart's promising corner (more demand and less
// competition than the medians), best ratio of the two first, at most `most`.
std::vector<const OpportunityPoint*> MostPromising(const Opportunities& data, size_t most);

// A point's colour: 0 % grey, rising profitability from pale to strong
// green, negative red; an unchecked row faint.
struct PointColor {
    int red, green, blue, alpha;
};
PointColor ColorFor(double profitability, bool checked);

// Marker diameter in pixels, growing with the prospects (6 to 22).
double MarkerSize(int64_t prospects);

}  // namespace vx
