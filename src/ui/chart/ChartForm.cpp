#include "ui/chart/ChartForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include "ui/chart/ChartAccessible.h"
#include "ui/chart/PointView.h"
#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/ToolWindowAccessible.h"
#include "ui/forms/SaveStatus.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {
// The chart in words, for a screen reader: how many points, the medians the
// lines mark, and the most promising terms.
QString Summary(const Opportunities& data, const ResultsTable& table) {
    const size_t n = data.points.size();
    QString text = QStringLiteral(
                       "%1 key term%2 plotted, demand against competition. Median "
                       "demand %3, median competition %4.")
                       .arg(n)
                       .arg(n == 1 ? QString() : QStringLiteral("s"))
                       .arg(qRound64(data.medianDemand))
                       .arg(qRound64(data.medianCompetition));
    QStringList terms;
    for (const OpportunityPoint* p : MostPromising(data, 5))
        terms << ToQString(std::string(table.At(p->row).KeyTerm()));
    if (!terms.isEmpty())
        text += QStringLiteral(" Most promising: ") + terms.join(QStringLiteral(", ")) +
                QStringLiteral(".");
    return text;
}
}  // namespace

TChartForm::TChartForm(ResultsTable& table, QWidget* parent)
    : QWidget(parent, Qt::Window), table_(table) {
    setObjectName(QStringLiteral("ChartForm"));
    setWindowTitle(QStringLiteral("Opportunity chart"));
    InstallAccessibleFactory<QChartView, ChartAccessible>();
    InstallAccessibleFactory<TChartForm, ToolWindowAccessible>();
    view_ = new PointView(chart_, this);
    view_->setObjectName(QStringLiteral("ChartView"));
    view_->setAccessibleName(QStringLiteral("Opportunity chart"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(560, 400);
    notPlotted_ = new QLabel(this);
    notPlotted_->setObjectName(QStringLiteral("NotPlotted"));
    // What the marks mean, in words, beside the picture.
    legend_ = new QLabel(
        QStringLiteral("Colour: profitability (grey 0 %, pale to strong green higher, red "
                       "negative). Size: estimated prospects. Faint: unchecked rows."),
        this);
    legend_->setObjectName(QStringLiteral("Legend"));
    legend_->setWordWrap(true);
    save_ = new QPushButton(QStringLiteral("Save picture..."), this);
    save_->setObjectName(QStringLiteral("SavePicture"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(notPlotted_, 1);
    bottom->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(legend_);
    layout->addLayout(bottom);
    connect(save_, &QPushButton::clicked, this, [this] { SavePictureClick(); });
    connect(&chart_, &OpportunityChart::PointClicked, this, &TChartForm::RowChosen);
    connect(&chart_, &OpportunityChart::PointHovered, this, [this](RowId id, bool entered) {
        const int index = table_.IndexOf(id);
        if (!entered || index < 0) {
            QToolTip::hideText();
            return;
        }
        const ResultRow& row = table_.At(index);
        QString tip = ToQString(std::string(row.KeyTerm()));
        for (int c = colDemand; c < kColumnCount; ++c)
            tip += QStringLiteral("\n") + QLatin1String(kColumnCaptions[c]) + QStringLiteral(": ") +
                   ToQString(std::string(row.Text(c)));
        QToolTip::showText(QCursor::pos(), tip, view_);
    });
    table_.AddObserver(this);
    Refresh();
}

TChartForm::~TChartForm() {
    table_.RemoveObserver(this);
}

void TChartForm::Schedule() {
    // Coalesced: a run changes a row many times; the chart follows once per
    // turn of the event loop.
    if (scheduled_) return;
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        if (scheduled_) Refresh();
    });
}

void TChartForm::Refresh() {
    scheduled_ = false;
    chart_.Update(table_);
    const int n = chart_.Data().notPlotted;
    if (table_.Count() == 0) {
        notPlotted_->setText(QStringLiteral("No rows to plot yet"));
        view_->setAccessibleDescription(notPlotted_->text());
        return;
    }
    notPlotted_->setText(n == 0 ? QString()
                                : QStringLiteral("%1 row%2 not plotted: demand or competition is "
                                                 "not a number above 0")
                                      .arg(n)
                                      .arg(n == 1 ? QString() : QStringLiteral("s")));
    view_->setAccessibleDescription(
        (Summary(chart_.Data(), table_) + QStringLiteral(" ") + notPlotted_->text()).trimmed());
}

void TChartForm::SavePictureClick() {
    const auto choice = FileDialogs::GetSaveFile(
        this, QStringLiteral("Save picture"),
        folders_ ? folders_->Folder(RecentFolders::Pictures) : QString(),
        QStringLiteral("PNG picture (*.png);;SVG picture (*.svg)"), QStringLiteral("png"));
    if (choice.path.isEmpty()) return;
    if (folders_) folders_->Remember(RecentFolders::Pictures, choice.path);
    QString path = choice.path;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) &&
        !path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
        path += choice.filter.contains(QStringLiteral("svg")) ? QStringLiteral(".svg")
                                                              : QStringLiteral(".png");
    notPlotted_->setText(
        SaveStatusText(path, chart_.SavePicture(path, view_->size().expandedTo(QSize(800, 600)))));
}

}  // namespace vx::ui
