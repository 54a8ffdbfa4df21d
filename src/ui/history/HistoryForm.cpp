#include "ui/history/HistoryForm.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <functional>

#include <map>
#include <set>
#include <thread>
#include "core/text.h"

#include "history/database.h"
#include "history/history_choice.h"
#include "history/history_store.h"
#include "ui/chart/ChartAccessible.h"
#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/ToolWindowAccessible.h"
#include "ui/platform/Prompts.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kColumns = 7;

QDateTime When(const std::string& iso) {
    return QDateTime::fromString(ToQString(iso), Qt::ISODate);
}

// A run's start in the user's time zone, as the user's locale writes a date
// and time, whole ("7 Dec 2026 14:05").
QString LocalTime(const std::string& iso) {
    const QDateTime when = When(iso);
    if (!when.isValid()) return ToQString(iso);
    return QLocale().toString(when.toLocalTime(), QLocale::ShortFormat);
}

// The unbroken stretches of numbers of one column: "-" and "?" are gaps.
// The trend for a screen reader: how many runs over which days, and the
// latest run's figures as shown.
QString TrendInWords(const std::string& term, const std::vector<TermPoint>& points) {
    if (points.empty()) return ToQString(term) + QStringLiteral(": in no recorded run");
    const TermPoint& latest = points.back();
    auto text = [&latest](int column) {
        return ToQString(latest.texts[static_cast<size_t>(column - 1)]);
    };
    const QString day = QStringLiteral("yyyy-MM-dd");
    return QStringLiteral(
               "%1 in %2 run%3 from %4 to %5; in the latest, rank %6, competition %7, "
               "demand %8.")
        .arg(ToQString(term))
        .arg(points.size())
        .arg(points.size() == 1 ? QString() : QStringLiteral("s"))
        .arg(When(points.front().started).toString(day), When(latest.started).toString(day),
             text(colRank), text(colCompetition), text(colDemand));
}

std::vector<QList<QPointF>> Stretches(const std::vector<TermPoint>& points, int column) {
    std::vector<QList<QPointF>> out;
    bool inStretch = false;
    for (const TermPoint& p : points) {
        const auto v = ReadGroupedWholeNumber(p.texts[static_cast<size_t>(column - 1)]);
        if (!v || *v <= 0) {
            inStretch = false;
            continue;
        }
        if (!inStretch) out.emplace_back();
        inStretch = true;
        out.back().append(QPointF(static_cast<qreal>(When(p.started).toMSecsSinceEpoch()),
                                  static_cast<qreal>(*v)));
    }
    return out;
}

}  // namespace

QString CountText(long long n) {
    if (n >= 1'000'000 && n % 1'000'000 == 0)
        return CountText(n / 1'000'000) + QStringLiteral(" M");
    QString digits = QString::number(n), out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += QLatin1Char(' ');
        out += digits[i];
    }
    return out;
}

int RankTickInterval(int highest) {
    // At most about eight labels, each a whole place.
    for (const int step : {1, 2, 5, 10, 20, 50, 100, 200, 500})
        if (highest / step <= 8) return step;
    return 1000;
}

TimeScale TimeScaleFor(const QDateTime& first, const QDateTime& last, int points) {
    TimeScale t;
    const qint64 span = std::max<qint64>(0, first.secsTo(last));
    // Room either side, so the first and last points are not on the frame.
    const qint64 pad = std::max<qint64>(3600, span / 20);
    t.from = first.addSecs(-pad).toLocalTime();
    t.to = last.addSecs(pad).toLocalTime();
    t.ticks = std::clamp(points + 1, 3, 6);
    // The format shows the unit the ticks differ by, so no two read alike.
    const qint64 between = (span + 2 * pad) / (t.ticks - 1);
    // Short enough for a tick: the year only where runs span years.
    t.format = between >= 86400 * 28 ? QStringLiteral("MMM yyyy")
               : between >= 86400    ? QStringLiteral("d MMM")
               : between >= 60       ? QStringLiteral("d MMM HH:mm")
                                     : QStringLiteral("HH:mm:ss");
    return t;
}

namespace {

// A line a stretch; past this many stretches the points alone are shown, as
// a series each costs the chart far more than a point.
constexpr size_t kMostLines = 40;

// At most about most points in all, every stretch keeping its ends: a chart
// a few hundred pixels wide shows no more, and each point costs its drawing.
void Thin(std::vector<QList<QPointF>>& stretches, qsizetype most) {
    qsizetype total = 0;
    for (const auto& s : stretches) total += s.size();
    if (total <= most) return;
    const qsizetype step = (total + most - 1) / most;
    for (auto& s : stretches) {
        QList<QPointF> kept;
        for (qsizetype i = 0; i < s.size(); ++i)
            if (i % step == 0 || i == s.size() - 1) kept.append(s[i]);
        s = std::move(kept);
    }
}
}  // namespace

THistoryForm::THistoryForm(std::string path, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(std::move(path)) {
    InstallAccessibleFactory<THistoryForm, ToolWindowAccessible>();
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(QStringLiteral("Research history"));
    runs_ = new QTableWidget(0, kColumns, this);
    runs_->setObjectName(QStringLiteral("RunList"));
    // Tab leaves the table; the arrow keys move inside it.
    runs_->setTabKeyNavigation(false);
    runs_->setHorizontalHeaderLabels({QStringLiteral("Run"), QStringLiteral("When"),
                                      QStringLiteral("Seed"), QStringLiteral("Site"),
                                      QStringLiteral("Rows"), QStringLiteral("Ended"),
                                      QStringLiteral("By")});
    // The run's own id, as --compare run:12 takes it, names a row; no
    // spreadsheet row numbers beside it.
    runs_->verticalHeader()->hide();
    runs_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    runs_->setSelectionBehavior(QAbstractItemView::SelectRows);
    runs_->setSelectionMode(QAbstractItemView::SingleSelection);
    runs_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    runs_->horizontalHeader()->setStretchLastSection(true);
    runs_->setAccessibleName(QStringLiteral("Past runs"));
    terms_ = new QListWidget(this);
    terms_->setObjectName(QStringLiteral("TermList"));
    terms_->setAccessibleName(QStringLiteral("Key terms of the run"));
    auto* termsCaption =
        new QLabel(QStringLiteral("&Key terms of the run (pick one for its trend):"), this);
    termsCaption->setObjectName(QStringLiteral("TermListCaption"));
    termsCaption->setBuddy(terms_);
    open_ = new QPushButton(QStringLiteral("&Open"), this);
    open_->setObjectName(QStringLiteral("OpenRun"));
    compare_ = new QPushButton(QStringLiteral("&Compare with table"), this);
    compare_->setObjectName(QStringLiteral("CompareRun"));
    delete_ = new QPushButton(QStringLiteral("&Delete..."), this);
    delete_->setObjectName(QStringLiteral("DeleteRun"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("HistoryStatus"));
    status_->setWordWrap(true);
    chart_ = new QChart;
    chart_->setTitle(QStringLiteral("Pick a key term to see its trend"));
    InstallAccessibleFactory<QChartView, ChartAccessible>();
    view_ = new QChartView(chart_, this);
    view_->setObjectName(QStringLiteral("TrendView"));
    view_->setAccessibleName(QStringLiteral("Trend of the key term"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(280, 240);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addWidget(compare_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    auto* listSide = new QWidget(this);
    auto* left = new QVBoxLayout(listSide);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(runs_, 2);
    left->addLayout(buttons);
    left->addWidget(termsCaption);
    left->addWidget(terms_, 1);
    left->addWidget(status_);
    // The list gets the room its columns need; the chart the rest.
    split_ = new QSplitter(Qt::Horizontal, this);
    split_->setObjectName(QStringLiteral("HistorySplit"));
    split_->addWidget(listSide);
    split_->addWidget(view_);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setChildrenCollapsible(false);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(split_);

    auto selected = [this](const std::function<void(qint64)>& act) {
        if (const auto id = SelectedRun()) act(*id);
    };
    connect(open_, &QPushButton::clicked, this,
            [this, selected] { selected([this](qint64 id) { emit OpenRequested(id); }); });
    connect(compare_, &QPushButton::clicked, this,
            [this, selected] { selected([this](qint64 id) { emit CompareRequested(id); }); });
    connect(delete_, &QPushButton::clicked, this, &THistoryForm::DeleteSelected);
    connect(runs_, &QTableWidget::itemSelectionChanged, this, &THistoryForm::ShowTerms);
    connect(terms_, &QListWidget::currentTextChanged, this,
            [this](const QString& term) { ShowTrend(ToBytes(term)); });
    Refresh();
}

namespace {
// How a run ended, and where it waits to go when it is kept here for a
// shared history: "done; waits for postgresql://ann@db/team".
std::string WithWaiting(const HistoryRun& run, const std::map<std::string, HistoryRun>& waiting) {
    const auto w = waiting.find(run.uid);
    if (run.uid.empty() || w == waiting.end()) return run.ended;
    if (!w->second.setAside.empty()) return run.ended + "; set aside: " + w->second.setAside;
    return run.ended + "; waits for " +
           (w->second.pendingTo.empty() ? std::string("a shared history") : w->second.pendingTo);
}
}  // namespace

void THistoryForm::SetHistoryPath(std::string path) {
    if (path == path_) return;
    path_ = std::move(path);
    Refresh();
}

struct THistoryForm::Listing {
    std::string from;  // where the runs were read
    std::vector<HistoryRun> runs;
    // Runs kept on this computer for a shared history: where each goes.
    std::map<std::string, HistoryRun> waiting;
    std::string note;   // why they are this computer's and not the shared history's
    std::string error;  // nothing could be read
};

namespace {
THistoryForm::Listing ReadListing(const std::string& path) {
    THistoryForm::Listing listing;
    listing.from = path;
    try {
        try {
            listing.runs = OpenHistory(path, false)->Runs();
        } catch (const HistoryError& e) {
            if (!IsSharedHistoryUrl(path)) throw;
            // The runs this computer holds, its waiting ones among them.
            listing.note = e.what();
            listing.from = HistoryStore::DefaultPath();
            listing.runs = OpenHistory(listing.from, false)->Runs();
        }
        for (HistoryRun& w : WaitingRuns()) listing.waiting.emplace(w.uid, std::move(w));
    } catch (const std::exception& e) {
        listing.error = e.what();
    }
    return listing;
}
}  // namespace

void THistoryForm::Refresh() {
    const quint64 ticket = ++reading_;
    if (!IsSharedHistoryUrl(path_)) {
        Show(ReadListing(path_));
        return;
    }
    status_->setText(QStringLiteral("Reading the shared history\u2026"));
    QPointer<THistoryForm> self(this);
    std::thread([self, path = path_, ticket] {
        Listing listing = ReadListing(path);
        QMetaObject::invokeMethod(
            qApp,
            [self, ticket, listing = std::move(listing)] {
                if (self && self->reading_ == ticket) self->Show(listing);
            },
            Qt::QueuedConnection);
    }).detach();
}

void THistoryForm::Show(const Listing& listing) {
    // The run the user picked stays picked when the list is read again.
    const std::optional<int64_t> picked = SelectedRun();
    runs_->setRowCount(0);
    int pickedRow = 0;
    shownFrom_ = listing.from;
    if (!listing.error.empty()) {
        status_->setText(QStringLiteral("The history cannot be read: ") +
                         QString::fromLocal8Bit(listing.error.c_str()));
    } else {
        const std::vector<HistoryRun>& runs = listing.runs;
        const std::map<std::string, HistoryRun>& waiting = listing.waiting;
        runs_->setRowCount(static_cast<int>(runs.size()));
        // Newest first.
        for (size_t i = 0; i < runs.size(); ++i) {
            const HistoryRun& r = runs[runs.size() - 1 - i];
            const int row = static_cast<int>(i);
            if (picked && *picked == r.id) pickedRow = row;
            const QString cells[kColumns] = {QStringLiteral("run %1").arg(r.id),
                                             LocalTime(r.started),
                                             ToQString(r.seed),
                                             ToQString(r.site),
                                             QString::number(r.rows),
                                             ToQString(WithWaiting(r, waiting)),
                                             ToQString(r.recordedBy)};
            for (int c = 0; c < kColumns; ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                item->setData(kIdRole, static_cast<qint64>(r.id));
                if (c == 1) item->setToolTip(ToQString(r.started) + QStringLiteral(" UTC"));
                runs_->setItem(row, c, item);
            }
        }
        // Who recorded a run matters where several did: a shared history.
        std::set<std::string> by;
        for (const HistoryRun& r : runs) by.insert(r.recordedBy);
        runs_->setColumnHidden(kColumns - 1, by.size() <= 1);
        QString said = runs.empty() ? QStringLiteral("No runs recorded yet")
                                    : QStringLiteral("%1 runs").arg(runs.size());
        if (!waiting.empty())
            said += QStringLiteral("; %1 waiting on this computer to be sent").arg(waiting.size());
        if (!listing.note.empty())
            said = ToQString(ShowableText(listing.note)) +
                   QStringLiteral("; this computer's runs are shown: ") + said;
        status_->setText(said);
    }
    const bool any = runs_->rowCount() > 0;
    // This computer's runs in place of the shared history's are to look at:
    // the main window opens and compares runs of the shared one.
    for (QPushButton* b : {open_, compare_, delete_}) b->setEnabled(any && listing.note.empty());
    if (any) runs_->selectRow(pickedRow);
    // Room for every column whole, a scroll bar's width included: the list
    // side gets it first, the trend the rest (the window is kept on the
    // screen when it opens).
    if (!isVisible()) resize(std::max(width(), ListWidth() + view_->minimumWidth() + 40), height());
    FitList();
}

int THistoryForm::ListWidth() const {
    return runs_->horizontalHeader()->length() + 2 * runs_->frameWidth() +
           runs_->verticalScrollBar()->sizeHint().width();
}

void THistoryForm::FitList() {
    const int room = split_->width() - split_->handleWidth();
    split_->setSizes({std::min(ListWidth(), room - view_->minimumWidth()),
                      std::max(view_->minimumWidth(), room - ListWidth())});
}

void THistoryForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FitList();
}

std::optional<int64_t> THistoryForm::SelectedRun() const {
    const QList<QTableWidgetItem*> items = runs_->selectedItems();
    if (items.isEmpty()) return std::nullopt;
    return items.first()->data(kIdRole).toLongLong();
}

void THistoryForm::DeleteSelected() {
    const auto id = SelectedRun();
    if (!id) return;
    emit AboutToAsk();
    // The question names the run as the list shows it.
    const int row = runs_->currentRow() >= 0 ? runs_->currentRow() : 0;
    const auto cell = [this, row](int column) {
        const QTableWidgetItem* item = runs_->item(row, column);
        return item ? item->text() : QString();
    };
    const QString rows = cell(4);
    const QString question =
        QStringLiteral("Delete the run of %1, \u201c%2\u201d, %3 %4?")
            .arg(cell(1), cell(2), rows,
                 rows == u"1" ? QStringLiteral("row") : QStringLiteral("rows"));
    if (!Prompts::Confirm(this, question)) return;
    try {
        OpenHistory(shownFrom_, true)->Delete(*id);
    } catch (const std::exception& e) {
        status_->setText(QStringLiteral("Could not delete the run: ") +
                         QString::fromLocal8Bit(e.what()));
        return;
    }
    Refresh();
}

void THistoryForm::ShowTerms() {
    terms_->clear();
    const auto id = SelectedRun();
    if (!id) return;
    try {
        ResultsTable table;
        if (!OpenHistory(shownFrom_, false)->Load(*id, table)) return;
        for (int i = 0; i < table.Count(); ++i)
            terms_->addItem(ToQString(std::string(table.At(i).KeyTerm())));
    } catch (const std::exception&) {
    }
}

void THistoryForm::ShowTrend(const std::string& term) {
    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes()) chart_->removeAxis(axis);
    std::vector<TermPoint> points;
    try {
        points = OpenHistory(shownFrom_, false)->TermHistory(term);
    } catch (const std::exception&) {
    }
    chart_->setTitle(ToQString(term));
    view_->setAccessibleDescription(TrendInWords(term, points));
    if (points.empty()) return;
    auto* time = new QDateTimeAxis;
    time->setTitleText(QStringLiteral("When"));
    const QDateTime first = When(points.front().started), last = When(points.back().started);
    const TimeScale scale = TimeScaleFor(first, last, static_cast<int>(points.size()));
    time->setFormat(scale.format);
    time->setTickCount(scale.ticks);
    time->setRange(scale.from, scale.to);
    chart_->addAxis(time, Qt::AlignBottom);
    // Up is better: rank 1 at the top; whole places only.
    auto* rank = new QValueAxis;
    rank->setTitleText(QStringLiteral("Rank"));
    rank->setReverse(true);
    rank->setLabelFormat(QStringLiteral("%d"));
    rank->setTickType(QValueAxis::TicksDynamic);
    rank->setTickAnchor(0);
    chart_->addAxis(rank, Qt::AlignLeft);
    // Counts span decades: drawn as their logarithms, labelled as numbers
    // ("1 000", "1 M"), not as a printf exponent.
    auto* counts = new QCategoryAxis;
    counts->setTitleText(QStringLiteral("Competition and demand"));
    counts->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart_->addAxis(counts, Qt::AlignRight);
    qreal highestRank = 1, lowestCount = 9, highestCount = 0;  // counts as log10
    struct Line {
        int column;
        const char* name;
        QAbstractAxis* axis;
    };
    for (const Line& l : {Line{colRank, "Rank", rank}, Line{colCompetition, "Competition", counts},
                          Line{colDemand, "Demand", counts}}) {
        std::vector<QList<QPointF>> stretches = Stretches(points, l.column);
        if (l.axis == counts)
            for (auto& stretch : stretches)
                for (QPointF& p : stretch) p.setY(std::log10(p.y()));
        std::vector<QXYSeries*> series;
        if (stretches.size() > kMostLines) {
            // The points alone, in one stretch, handed over at once.
            QList<QPointF> all;
            for (const auto& stretch : stretches) all.append(stretch);
            stretches.assign(1, std::move(all));
            Thin(stretches, 400);
            auto* dots = new QScatterSeries;
            dots->setMarkerSize(5);
            dots->replace(stretches.front());
            series.push_back(dots);
        } else {
            Thin(stretches, 400);
            for (const auto& stretch : stretches) {
                auto* line = new QLineSeries;
                line->setPointsVisible(true);
                line->append(stretch);
                series.push_back(line);
            }
        }
        bool named = false;
        QColor lineColor;
        for (QXYSeries* s : series) {
            s->setName(QString::fromLatin1(l.name));
            chart_->addSeries(s);
            s->attachAxis(time);
            s->attachAxis(l.axis);
            // One legend entry and one colour a line, however many stretches
            // it has.
            if (named) {
                chart_->legend()->markers(s).first()->setVisible(false);
                s->setColor(lineColor);
            } else {
                lineColor = s->color();
            }
            named = true;
            // A point's own figures on hovering it (a single run is one point).
            const bool logarithmic = l.axis == counts;
            connect(s, &QXYSeries::hovered, this,
                    [name = s->name(), logarithmic](const QPointF& p, bool over) {
                        if (!over) return QToolTip::hideText();
                        const double value = logarithmic ? std::pow(10.0, p.y()) : p.y();
                        QToolTip::showText(
                            QCursor::pos(),
                            QStringLiteral("%1: %2\n%3")
                                .arg(name, CountText(std::llround(value)),
                                     QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(p.x()))
                                         .toLocalTime()
                                         .toString(QStringLiteral("d MMM yyyy HH:mm"))));
                    });
            for (const QPointF& p : s->points()) {
                if (l.axis == rank) {
                    highestRank = std::max(highestRank, p.y());
                } else {
                    lowestCount = std::min(lowestCount, p.y());
                    highestCount = std::max(highestCount, p.y());
                }
            }
        }
    }
    if (highestCount < lowestCount) lowestCount = 0, highestCount = 1;  // no counts at all
    rank->setRange(1, std::max<qreal>(2, highestRank));
    rank->setTickInterval(RankTickInterval(static_cast<int>(highestRank)));
    const int low = static_cast<int>(std::floor(lowestCount));
    const int high = std::max(low + 1, static_cast<int>(std::ceil(highestCount)));
    for (int k = low; k <= high; ++k)
        counts->append(CountText(static_cast<long long>(std::llround(std::pow(10.0, k)))), k);
    counts->setRange(low, high);
}

}  // namespace vx::ui
