#include "results/results_table.h"

#include <gtest/gtest.h>

#include <tuple>

#include <random>
#include <set>

namespace vx {
namespace {

RowId AddRow(ResultsTable& t, const std::string& term, std::vector<std::string> cols,
             bool checked = true) {
    const RowId id = t.Append();
    t.SetKeyTerm(id, term);
    for (auto& c : cols) t.AppendColumn(id, c);
    t.SetChecked(id, checked);
    return id;
}

std::vector<std::string> Terms(const ResultsTable& t) {
    std::vector<std::string> out;
    for (int i = 0; i < t.Count(); ++i) out.emplace_back(t.At(i).KeyTerm());
    return out;
}

ResultRow Row(const std::string& term, int column, const std::string& text) {
    std::vector<std::string> columns(6);
    if (column > 0) columns[static_cast<size_t>(column - 1)] = text;
    return ResultRow(term, columns, false);
}

int Cmp(int column, const std::string& a, const std::string& b, char sep = '.') {
    return ListView1Compare(column == 0 ? Row(a, 0, "") : Row("", column, a),
                            column == 0 ? Row(b, 0, "") : Row("", column, b), column, sep);
}

TEST(ListView1Compare, PerColumnRules) {
    struct Case {
        int column;
        const char *a, *b;
        int sign;  // sign of the comparison
    } cases[] = {
        {0, "apple", "APPLE", 0},
        {0, "car", "cars", -1},
        {0, "Zebra", "apple", 1},
        {0, "_x", "zz", 1},
        {0, "\xE4", "z", 1},
        {0, "", "", 0},
        {1, "100", "20", -1},
        {1, "20", "100", 1},
        {1, "x", "5", 0},
        {2, "20", "100", -1},
        {2, "", "7", 0},
        {2, "-2147483648", "2147483647", -1},
        {3, "0.0004", "0", 0},
        {3, "0.002", "0.003", -1},
        {3, "0.0005", "0", 0},
        {3, "0.0015", "0", 1},
        {3, "12.5", "1e1", 1},
        {3, "abc", "1", 0},
        {3, "1e400", "5", 1},
        {3, "1e400", "1e500", -1},
        {3, "-1e400", "1e400", -1},
        {3, "1e99999", "1e400", 1},
        {5, "1e400%", "5%", -1},
        {4, "-", "1", -1},
        {4, "2", "10", -1},
        {4, "-", "-", 0},
        {4, "-1", "-", -1},
        {5, "12.5%", "9%", -1},
        {5, "9%", "12.5%", 1},
        {5, "100%", "100x", 0},
        {5, "%", "1%", 0},
        {5, "", "", 0},
        {6, "10", "9", -1},
        {6, "n/a", "9", 0},
        // "?" (unknown) after every number in either direction; equal to
        // itself and to other unreadable texts.
        {1, "?", "5", 1},
        {1, "5", "?", -1},
        {2, "?", "5", 1},
        {4, "-", "?", -1},
        {5, "?", "9%", 1},
        {3, "0.5", "?", -1},
        {6, "?", "?", 0},
        // Demand with digit groups as people write them.
        {1, "1.200", "900", -1},
        {1, " 1 200 ", "1300", 1},
        {1, "1,200", "1.200", 0},
        {2, "?", "n/a", 0},
    };
    for (const auto& c : cases) {
        const int got = Cmp(c.column, c.a, c.b);
        const int sign = got > 0 ? 1 : (got < 0 ? -1 : 0);
        EXPECT_EQ(sign, c.sign) << "column " << c.column << ": " << c.a << " vs " << c.b;
    }
    EXPECT_LT(Cmp(3, "0,002", "0,003", ','), 0);
    EXPECT_EQ(Cmp(3, "0.002", "0.003", ','), 0);  // unparsable with ','
}

TEST(ResultsTable, SortKeepsRowIdentityAndEveryRow) {
    ResultsTable t;
    AddRow(t, "b", {"10"});
    const RowId held = AddRow(t, "a", {"30"});
    AddRow(t, "c", {"20"});
    t.ListView1ColumnClick(1);  // demand, descending
    EXPECT_EQ(Terms(t), (std::vector<std::string>{"a", "c", "b"}));
    // The run keeps writing into the row it holds, wherever it now stands.
    t.AppendColumn(held, "999");
    EXPECT_EQ(t.At(0).Column(1), "999");
    t.ListView1ColumnClick(1);  // same direction again, nothing toggles
    EXPECT_EQ(Terms(t), (std::vector<std::string>{"a", "c", "b"}));
    EXPECT_EQ(t.SortColumn(), 1);
    t.ListView1ColumnClick(0);
    EXPECT_EQ(Terms(t), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(ResultsTable, RankSortPutsNotFoundFirst) {
    ResultsTable t;
    for (const char* r : {"10", "-", "2", "1", "-"}) AddRow(t, r, {"", "", "", r});
    t.ListView1ColumnClick(4);
    EXPECT_EQ(Terms(t), (std::vector<std::string>{"-", "-", "1", "2", "10"}));
}

TEST(ResultsTable, InconsistentComparisonStillKeepsEveryRowOnce) {
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        ResultsTable t;
        std::multiset<std::string> before;
        const int n = static_cast<int>(rng() % 200);
        for (int i = 0; i < n; ++i) {
            const int k = static_cast<int>(rng() % 5);
            std::string text = k == 0 ? "?" : k == 1 ? "" : std::to_string(rng() % 50);
            const std::string term = "t" + std::to_string(i);
            AddRow(t, term, {"", text});
            before.insert(term);
        }
        t.ListView1ColumnClick(2);
        std::multiset<std::string> after;
        for (int i = 0; i < t.Count(); ++i) after.emplace(t.At(i).KeyTerm());
        ASSERT_EQ(before, after);
    }
}

TEST(ResultsTable, ConsistentColumnSortsAscendingAndStable) {
    std::mt19937 rng(11);
    ResultsTable t;
    for (int i = 0; i < 300; ++i) AddRow(t, std::to_string(i), {"", std::to_string(rng() % 20)});
    t.ListView1ColumnClick(2);
    for (int i = 1; i < t.Count(); ++i) {
        const int a = std::stoi(std::string(t.At(i - 1).Column(1))),
                  b = std::stoi(std::string(t.At(i).Column(1)));
        ASSERT_LE(a, b);
        if (a == b) {
            ASSERT_LT(std::stoi(std::string(t.At(i - 1).KeyTerm())),
                      std::stoi(std::string(t.At(i).KeyTerm())));
        }
    }
}

TEST(ResultsTable, CheckMarkCommands) {
    ResultsTable t;
    t.SelectAll1Click();  // empty table: nothing happens
    t.InvertSelection1Click();
    t.ListView1ColumnClick(3);
    EXPECT_EQ(t.Count(), 0);
    AddRow(t, "a", {}, true);
    AddRow(t, "b", {}, false);
    AddRow(t, "c", {}, true);
    t.InvertSelection1Click();
    EXPECT_FALSE(t.At(0).checked);
    EXPECT_TRUE(t.At(1).checked);
    t.InvertSelection1Click();
    EXPECT_TRUE(t.At(0).checked);
    EXPECT_FALSE(t.At(1).checked);
    t.SelectAll1Click();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(t.At(i).checked);
    t.SelectNone1Click();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(t.At(i).checked);
}

TEST(ResultsTable, WritesToRemovedRowsAreDropped) {
    ResultsTable t;
    const RowId old = AddRow(t, "old", {"1"});
    t.Clear();
    AddRow(t, "new", {"2"});
    t.SetKeyTerm(old, "stale");
    t.AppendColumn(old, "stale");
    t.SetChecked(old, false);
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.At(0).KeyTerm(), "new");
    EXPECT_EQ(t.At(0).ColumnCount(), 1);
    EXPECT_TRUE(t.At(0).checked);
    EXPECT_EQ(t.IndexOf(old), -1);
}

TEST(ResultsTable, ColumnsStopAtSix) {
    ResultsTable t;
    const RowId id = AddRow(t, "k", {"1", "2", "3", "4", "5", "6", "7"});
    EXPECT_EQ(t.At(t.IndexOf(id)).ColumnCount(), 6);
    EXPECT_EQ(t.At(0).Column(5), "6");
    EXPECT_EQ(t.At(0).Column(6), "");
}

struct Recorder : TableObserver {
    std::vector<std::string> events;
    void TableReset() override { events.push_back("reset"); }
    void RowAppended(int i) override { events.push_back("append " + std::to_string(i)); }
    void RowChanged(int i) override { events.push_back("change " + std::to_string(i)); }
};

TEST(ResultsTable, ObserversSeeEveryChange) {
    ResultsTable t;
    Recorder r;
    t.AddObserver(&r);
    const RowId id = t.Append();
    t.SetKeyTerm(id, "a");
    t.AppendColumn(id, "1");
    t.SetChecked(id, true);
    t.ListView1ColumnClick(0);
    t.Clear();
    EXPECT_EQ(r.events, (std::vector<std::string>{"append 0", "change 0", "change 0", "change 0",
                                                  "reset", "reset"}));
    t.RemoveObserver(&r);
    t.Append();
    EXPECT_EQ(r.events.size(), 6u);
}

}  // namespace
}  // namespace vx

#include "results/export.h"

namespace vx {
namespace {

TEST(Exports, SpreadsheetsAndEditorsReadThemRight) {
    ResultsTable t;
    const char* terms[] = {
        "=HYPERLINK(\"x\")",      "+1+2", "-3", "@SUM(A1)", "\tx", "-", "a\r\nb\tc",
        "men\x92s \x80 \x93q\x94"};
    for (const char* term : terms) {
        const RowId id = t.Append();
        t.SetKeyTerm(id, term);
        for (const char* c : {"1,200", "-12.5", "-", "=1", "98%", "-40%"}) t.AppendColumn(id, c);
        t.SetChecked(id, true);
    }
    const std::string csv = FormatCsvTable(t);
    const std::string rows[] = {"\"'=HYPERLINK(\"\"x\"\")\"",
                                "'+1+2",
                                "-3",
                                "'@SUM(A1)",
                                "'\tx",
                                "-",
                                "\"a\r\nb\tc\"",
                                "men\xE2\x80\x99s \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D"};
    for (const std::string& row : rows)
        EXPECT_NE(csv.find("\r\n" + row + ",\"1,200\",-12.5,-,'=1,98%,-40%,1\r\n"),
                  std::string::npos)
            << row;
    const std::string list = FormatKeywordList(t);
    EXPECT_NE(list.find("\r\na  b c\r\n"), std::string::npos);  // one term, one line
    size_t lines = 0;
    for (size_t at = list.find("\r\n"); at != std::string::npos; at = list.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, std::size(terms));
}

}  // namespace
}  // namespace vx

#include "results/opportunity.h"

namespace vx {
namespace {

TEST(Opportunities, RowsToPointsColoursAndSizes) {
    ResultsTable t;
    struct Row {
        const char *term, *demand, *competition, *profit, *prospects;
        bool checked;
    } rows[] = {
        {"a", "1,200", "2400", "50%", "600", true},    // digit groups count
        {"b", "3000000000", "5", "-40%", "0", false},  // 64 bits
        {"c", "0", "10", "0%", "0", true},             // not above 0
        {"d", "100", "?", "0%", "0", true},            // not a number
        {"e", "10", "1000", "100%", "10", true},
    };
    for (const Row& r : rows) {
        const RowId id = t.Append();
        t.SetKeyTerm(id, r.term);
        for (const char* c : {r.demand, r.competition, "", "", r.profit, r.prospects})
            t.AppendColumn(id, c);
        t.SetChecked(id, r.checked);
    }
    const Opportunities o = OpportunitiesOf(t);
    EXPECT_EQ(o.notPlotted, 2);
    ASSERT_EQ(o.points.size(), 3u);
    EXPECT_EQ(o.points[0].demand, 1200);
    EXPECT_EQ(o.points[0].profitability, 50);
    EXPECT_EQ(o.points[0].prospects, 600);
    EXPECT_EQ(o.points[1].demand, 3e9);
    EXPECT_EQ(o.points[2].row, 4);
    EXPECT_EQ(o.medianDemand, 1200);
    EXPECT_EQ(o.medianCompetition, 1000);

    // The promising corner: past both medians, best ratio first, at most so many.
    Opportunities corner;
    corner.medianDemand = corner.medianCompetition = 100;
    for (const auto& [d, c] : {std::pair{200.0, 50.0},
                               {1000.0, 10.0},
                               {100.0, 10.0},
                               {300.0, 99.0},
                               {500.0, 100.0},
                               {400.0, 20.0}})
        corner.points.push_back({.demand = d, .competition = c});
    std::vector<double> best;
    for (const OpportunityPoint* p : MostPromising(corner, 3)) best.push_back(p->demand);
    EXPECT_EQ(best, (std::vector<double>{1000, 400, 200}));
    EXPECT_EQ(MostPromising(corner, 9).size(), 4u);

    struct Color {
        double profit;
        bool checked;
        PointColor want;
    } colours[] = {
        {0, true, {150, 150, 150, 255}},  {100, true, {20, 130, 30, 255}},
        {50, true, {110, 183, 115, 255}}, {-1, true, {210, 40, 40, 255}},
        {250, true, {20, 130, 30, 255}},  {100, false, {20, 130, 30, 70}},
    };
    for (const Color& c : colours) {
        const PointColor got = ColorFor(c.profit, c.checked);
        EXPECT_EQ(std::tie(got.red, got.green, got.blue, got.alpha),
                  std::tie(c.want.red, c.want.green, c.want.blue, c.want.alpha))
            << c.profit << " " << c.checked;
    }
    EXPECT_EQ(MarkerSize(0), 6);
    EXPECT_LT(MarkerSize(9), MarkerSize(99));
    EXPECT_EQ(MarkerSize(INT64_MAX), 22);
}

}  // namespace
}  // namespace vx
