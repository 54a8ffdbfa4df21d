// Sorting 100 000 rows in the real window (offscreen): a click on each
// column's header until the view has painted again, against the table's own
// sort of the same rows without a window, measured side by side.
#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "results/results_table.h"
#include "ui/Application.h"
#include "ui/forms/Unit1.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 100000;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<vx::ResultRow> Rows() {
    std::minstd_rand random(7);
    std::vector<vx::ResultRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        const auto n = [&](int most) { return std::to_string(random() % most); };
        const std::string rank = random() % 3 == 0 ? "-" : n(100);
        rows.emplace_back("term " + n(1000000),
                          std::vector<std::string>{n(100000), n(10000000), n(1000) + ".25", rank,
                                                   n(100) + "%", n(5000)},
                          true);
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/vexorin-sort-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    vx::ui::Forms forms('.', dir + "/settings.reg");
    vx::ui::TForm1& w = *forms.Form1;
    w.show();
    const std::vector<vx::ResultRow> rows = Rows();
    w.Table().ReplaceRows(rows);
    QApplication::processEvents();
    vx::ResultsTable bare;
    bare.ReplaceRows(rows);

    double worstWindow = 0, worstBare = 0;
    for (int column = 0; column < vx::kColumnCount; ++column) {
        auto t0 = Clock::now();
        w.ListView1ColumnClick(column);
        w.ListView1->viewport()->repaint();
        QApplication::processEvents();
        const double window = Ms(Clock::now() - t0);
        t0 = Clock::now();
        bare.ListView1ColumnClick(column);
        const double table = Ms(Clock::now() - t0);
        std::printf("sort: column %d, %d rows: window %.1f ms, table alone %.1f ms\n", column,
                    kRows, window, table);
        worstWindow = std::max(worstWindow, window);
        worstBare = std::max(worstBare, table);
    }
    std::printf(
        "sort: %d rows, slowest column: window %.1f ms (under 200), table alone %.1f ms, "
        "ratio %.2f\n",
        kRows, worstWindow, worstBare, worstWindow / std::max(worstBare, 0.001));
    return worstWindow < 200 ? 0 : 1;
}
