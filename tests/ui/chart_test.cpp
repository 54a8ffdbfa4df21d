// The opportunity chart in the real windows: it follows the table, a click
// on a point selects its row, a selected row marks its point.
#include <gtest/gtest.h>

#include <QScreen>

#include <QAction>
#include <QChartView>
#include <QLabel>
#include <QScatterSeries>

#include "ui/chart/ChartForm.h"
#include "ui_window.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

void AddRow(ResultsTable& t, const char* term, const char* demand, const char* competition) {
    const RowId id = t.Append();
    t.SetKeyTerm(id, term);
    for (const char* c : {demand, competition, "1", "3", "50%", "10"}) t.AppendColumn(id, c);
    t.SetChecked(id, true);
}

TChartForm* OpenChart(TForm1& w) {
    w.findChild<QAction*>(u"Opportunitychart1"_s)->trigger();
    TChartForm* chart = w.ChartForm();
    EXPECT_TRUE(chart && chart->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(chart));
    return chart;
}

TEST(Chart, ClickSelectsTheRowAndSelectingMarksThePoint) {
    Window k;
    k.w.show();
    for (int i = 0; i < 40; ++i) {
        const std::string d = std::to_string(100 * (i + 1)), c = std::to_string(5000 - 100 * i);
        AddRow(k.w.Table(), ("term " + std::to_string(i)).c_str(), d.c_str(), c.c_str());
    }
    AddRow(k.w.Table(), "no demand", "?", "10");
    TChartForm* chart = OpenChart(k.w);
    chart->Refresh();
    EXPECT_EQ(chart->ChartOf().Data().points.size(), 40u);
    EXPECT_TRUE(chart->NotPlottedLabel()->text().startsWith(u"1 row not plotted"_s));

    // A real click on the point of "term 30", through the chart view.
    QTest::qWait(50);  // laid out
    auto* view = chart->findChild<QChartView*>(u"ChartView"_s);
    const OpportunityPoint& p = chart->ChartOf().Data().points[30];
    const QPoint at = view->mapFromScene(chart->ChartOf().ScenePositionOf(p));
    QTest::mouseMove(view->viewport(), at);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    const QModelIndex current = k.w.ListView1->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(k.w.Table().At(current.row()).KeyTerm(), "term 30");
    EXPECT_TRUE(k.w.ListView1->viewport()->rect().intersects(k.w.ListView1->visualRect(current)));

    // Selecting a row in the table rings its point, also after a sort.
    k.w.ListView1->selectRow(7);
    EXPECT_EQ(chart->ChartOf().MarkedRow(), k.w.Table().At(7).id);
    k.w.ListView1ColumnClick(colCompetition);
    QCoreApplication::processEvents();
    const RowId marked = *chart->ChartOf().MarkedRow();
    EXPECT_EQ(k.w.Table().At(k.w.ListView1->currentIndex().row()).id, marked);
}

TEST(Chart, FollowsARunLive) {
    Services services(5);
    Window k;
    k.w.show();
    TChartForm* chart = OpenChart(k.w);
    std::vector<size_t> seen;
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        QTimer::singleShot(0, [&] { seen.push_back(chart->ChartOf().Data().points.size()); });
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 1, 12); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    QCoreApplication::processEvents();
    const Opportunities& data = chart->ChartOf().Data();
    EXPECT_EQ(static_cast<int>(data.points.size()) + data.notPlotted, k.w.Table().Count());
    EXPECT_GT(data.points.size(), 5u);
    // It grew while the run went, not only at its end.
    ASSERT_GE(seen.size(), 3u);
    EXPECT_LT(seen.front(), data.points.size());
    // An opened file replaces the points.
    k.w.Table().Clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(chart->ChartOf().Data().points.size(), 0u);
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// The chart explains itself: a legend in words, a word for an empty table,
// a row still being filled is not "not plotted", and the window stands
// beside the main window where there is room, never off the screen.
TEST(Chart, ExplainsItselfAndStandsBesideTheWindow) {
    Window k;
    k.w.show();
    TChartForm* chart = OpenChart(k.w);
    ASSERT_NE(chart, nullptr);
    auto* note = chart->findChild<QLabel*>(u"NotPlotted"_s);
    auto* legend = chart->findChild<QLabel*>(u"Legend"_s);
    ASSERT_TRUE(note && legend);
    EXPECT_TRUE(legend->text().contains(u"profitability"_s));
    EXPECT_TRUE(legend->text().contains(u"prospects"_s));
    EXPECT_TRUE(legend->text().contains(u"unchecked"_s));
    QCoreApplication::processEvents();
    EXPECT_EQ(note->text(), u"No rows to plot yet"_s);
    ResultsTable& t = k.w.Table();
    const RowId filling = t.Append();
    t.AppendColumn(filling, "500");  // demand only: a run is at work on it
    QTest::qWait(5);
    EXPECT_EQ(note->text(), QString());
    AddRow(t, "no count", "500", "?");
    QTest::qWait(5);
    EXPECT_TRUE(note->text().startsWith(u"1 row not plotted"_s)) << note->text().toStdString();
    // Wholly on the screen; beside the main window where the screen has
    // room for both.
    const QRect area = k.w.screen()->availableGeometry();
    EXPECT_TRUE(area.contains(chart->frameGeometry()));
    if (k.w.frameGeometry().width() + 8 + chart->frameGeometry().width() <= area.width()) {
        EXPECT_FALSE(chart->frameGeometry().intersects(k.w.frameGeometry()));
    }
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// Points on a decade at either end of the data are drawn wholly inside the
// plot, and a saved picture shows the rows, never the selection ring.
TEST(Chart, PointsStayInsideAndPicturesHaveNoRing) {
    ResultsTable t;
    AddRow(t, "low", "10", "10");
    AddRow(t, "high", "1000", "100000");
    OpportunityChart chart;
    chart.Chart()->resize(800, 600);
    chart.Update(t);
    QCoreApplication::processEvents();
    const QRectF area = chart.Chart()->plotArea();
    for (const OpportunityPoint& p : chart.Data().points) {
        const QPointF at = chart.ScenePositionOf(p);
        const double r = MarkerSize(p.prospects) / 2;
        EXPECT_TRUE(area.contains(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r)))
            << p.demand << " " << p.competition;
    }
    TempDir dir;
    const QString plain = QString::fromStdString(dir.File("plain.png"));
    const QString marked = QString::fromStdString(dir.File("marked.png"));
    ASSERT_TRUE(chart.SavePicture(plain, QSize(600, 400)));
    chart.MarkRow(t.At(0).id);
    ASSERT_TRUE(chart.SavePicture(marked, QSize(600, 400)));
    EXPECT_EQ(chart.MarkedRow(), t.At(0).id);  // the window keeps its selection
    EXPECT_EQ(QImage(plain), QImage(marked));
}

}  // namespace
}  // namespace vx::ui
