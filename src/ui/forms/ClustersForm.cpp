#include "ui/forms/ClustersForm.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "results/atomic_file.h"
#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/NumberItem.h"
#include "ui/controls/ToolWindowAccessible.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;
}  // namespace

TClustersForm::TClustersForm(ResultsTable& table, QWidget* parent)
    : QWidget(parent, Qt::Window), table_(table) {
    InstallAccessibleFactory<TClustersForm, ToolWindowAccessible>();
    setObjectName(QStringLiteral("ClustersForm"));
    setWindowTitle(QStringLiteral("Clusters"));
    overlap_ = new QSpinBox(this);
    overlap_->setObjectName(QStringLiteral("ClusterOverlap"));
    overlap_->setRange(kMinClusterOverlap, kMaxClusterOverlap);
    overlap_->setValue(kDefaultClusterOverlap);
    auto* overlapLabel = new QLabel(QStringLiteral("Results two terms must &share:"), this);
    overlapLabel->setBuddy(overlap_);
    groups_ = new QTableWidget(0, 4, this);
    groups_->setObjectName(QStringLiteral("ClusterList"));
    groups_->setAccessibleName(QStringLiteral("Clusters"));
    groups_->setHorizontalHeaderLabels({QStringLiteral("Lead term"), QStringLiteral("Terms"),
                                        QStringLiteral("Total demand"),
                                        QStringLiteral("Best place")});
    groups_->verticalHeader()->hide();
    groups_->setSelectionBehavior(QAbstractItemView::SelectRows);
    groups_->setSelectionMode(QAbstractItemView::SingleSelection);
    groups_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    groups_->setTabKeyNavigation(false);
    groups_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Most demand first, as the groups were formed; not by name from Z to A.
    groups_->horizontalHeader()->setSortIndicator(2, Qt::DescendingOrder);
    auto* membersLabel = new QLabel(QStringLiteral("&Terms and shared results:"), this);
    members_ = new QListWidget(this);
    members_->setObjectName(QStringLiteral("ClusterMembers"));
    membersLabel->setBuddy(members_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("ClustersStatus"));
    status_->setWordWrap(true);
    auto* exportCsv = new QPushButton(QStringLiteral("&Export CSV..."), this);
    exportCsv->setObjectName(QStringLiteral("ExportClusters"));

    auto* top = new QHBoxLayout;
    top->addWidget(overlapLabel);
    top->addWidget(overlap_);
    top->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(exportCsv);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(groups_, 2);
    layout->addWidget(membersLabel);
    layout->addWidget(members_, 1);
    layout->addLayout(bottom);
    resize(560, 560);
    connect(overlap_, &QSpinBox::valueChanged, this, &TClustersForm::Refresh);
    connect(groups_, &QTableWidget::itemSelectionChanged, this, &TClustersForm::ShowGroup);
    connect(exportCsv, &QPushButton::clicked, this, &TClustersForm::ExportCsv);
    follow_ = std::make_unique<SettledRefresh>(table_, *this, [this] { Refresh(); });
    Refresh();
}

TClustersForm::~TClustersForm() = default;

void TClustersForm::Refresh() {
    clusters_ = ClusterTerms(table_, overlap_->value());
    groups_->setSortingEnabled(false);
    groups_->setRowCount(static_cast<int>(clusters_.size()));
    for (int i = 0; i < static_cast<int>(clusters_.size()); ++i) {
        const Cluster& c = clusters_[static_cast<size_t>(i)];
        auto* lead = new QTableWidgetItem(ToQString(c.lead));
        lead->setData(kIndexRole, i);
        groups_->setItem(i, 0, lead);
        const auto size = static_cast<double>(c.members.size());
        groups_->setItem(i, 1, new NumberItem(size, QString::number(c.members.size())));
        groups_->setItem(i, 2,
                         new NumberItem(static_cast<double>(c.demand), QString::number(c.demand)));
        // Not ranking sorts after every place.
        groups_->setItem(
            i, 3,
            new NumberItem(c.bestPlace ? *c.bestPlace : 1e9,
                           c.bestPlace ? QString::number(*c.bestPlace) : QStringLiteral("-")));
    }
    groups_->setSortingEnabled(true);
    members_->clear();
    status_->setText(
        clusters_.empty()
            ? QStringLiteral("No terms yet: research, then look again")
            : QStringLiteral("%1 clusters of %2 terms").arg(clusters_.size()).arg(table_.Count()));
}

void TClustersForm::ShowGroup() {
    members_->clear();
    const auto items = groups_->selectedItems();
    if (items.isEmpty()) return;
    const int index = groups_->item(items.first()->row(), 0)->data(kIndexRole).toInt();
    if (index < 0 || index >= static_cast<int>(clusters_.size())) return;
    const Cluster& c = clusters_[static_cast<size_t>(index)];
    for (const std::string& term : c.members) members_->addItem(ToQString(term));
    for (const std::string& url : c.sharedUrls)
        members_->addItem(QStringLiteral("shared: ") + ToQString(url));
}

void TClustersForm::ExportCsv() {
    const auto choice = FileDialogs::GetSaveFile(
        this, QStringLiteral("Export clusters"), QStringLiteral("clusters.csv"),
        QStringLiteral("CSV table (*.csv)"), QStringLiteral("csv"));
    if (choice.path.isEmpty()) return;
    // The file holds what the window shows, in the window's order.
    std::vector<Cluster> shown;
    for (int row = 0; row < groups_->rowCount(); ++row)
        shown.push_back(
            clusters_[static_cast<size_t>(groups_->item(row, 0)->data(kIndexRole).toInt())]);
    const WriteResult written =
        WriteFileAtomically(QFile::encodeName(choice.path).toStdString(), FormatClustersCsv(shown));
    status_->setText(written ? QStringLiteral("Saved ") + choice.path
                             : QStringLiteral("Could not save ") + choice.path +
                                   QStringLiteral(": ") + ToQString(WriteFailureText(written)));
}

}  // namespace vx::ui
