#include "ui/forms/CompetitorsForm.h"

#include <QFile>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "results/atomic_file.h"
#include "results/competitors.h"
#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/NumberItem.h"
#include "ui/controls/ToolWindowAccessible.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

TCompetitorsForm::TCompetitorsForm(ResultsTable& table, std::function<std::string()> site,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), table_(table), site_(std::move(site)) {
    InstallAccessibleFactory<TCompetitorsForm, ToolWindowAccessible>();
    setObjectName(QStringLiteral("CompetitorsForm"));
    setWindowTitle(QStringLiteral("Competitors"));
    hosts_ = new QTableWidget(0, 4, this);
    hosts_->setObjectName(QStringLiteral("CompetitorList"));
    // Tab leaves the table; the arrow keys move inside it.
    hosts_->setTabKeyNavigation(false);
    hosts_->setAccessibleName(QStringLiteral("Sites in the top 10"));
    hosts_->setHorizontalHeaderLabels({QStringLiteral("Site"), QStringLiteral("Terms in top 10"),
                                       QStringLiteral("Average place"),
                                       QStringLiteral("Traffic share")});
    hosts_->verticalHeader()->hide();
    hosts_->setSelectionBehavior(QAbstractItemView::SelectRows);
    hosts_->setSelectionMode(QAbstractItemView::SingleSelection);
    hosts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    hosts_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The strongest competitor first; a first click on a number puts its
    // largest first too, on the site's name A to Z.
    for (int c = 1; c < 4; ++c)
        hosts_->horizontalHeaderItem(c)->setData(Qt::InitialSortOrderRole, Qt::DescendingOrder);
    hosts_->horizontalHeaderItem(0)->setData(Qt::InitialSortOrderRole, Qt::AscendingOrder);
    hosts_->horizontalHeader()->setSortIndicator(kShareColumn, Qt::DescendingOrder);
    hosts_->setSortingEnabled(true);
    auto* caption = new QLabel(QStringLiteral("&Terms of the chosen site, with its place:"), this);
    terms_ = new QListWidget(this);
    terms_->setObjectName(QStringLiteral("CompetitorTerms"));
    terms_->setAccessibleName(QStringLiteral("Terms of the chosen site"));
    caption->setBuddy(terms_);
    termTopCaption_ = new QLabel(this);
    termTopCaption_->setObjectName(QStringLiteral("TermTopCaption"));
    termTop_ = new QTableWidget(0, 2, this);
    termTop_->setObjectName(QStringLiteral("TermTop"));
    termTop_->setTabKeyNavigation(false);
    termTop_->setAccessibleName(QStringLiteral("Top results of the chosen term"));
    termTop_->setHorizontalHeaderLabels({QStringLiteral("Place"), QStringLiteral("Address")});
    termTop_->verticalHeader()->hide();
    termTop_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    termTop_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    termTop_->horizontalHeader()->setStretchLastSection(true);
    termTopCaption_->setBuddy(termTop_);
    auto* exportCsv = new QPushButton(QStringLiteral("&Export CSV..."), this);
    exportCsv->setObjectName(QStringLiteral("ExportCompetitors"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("CompetitorsStatus"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(exportCsv);
    bottom->addWidget(status_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hosts_, 3);
    layout->addWidget(caption);
    layout->addWidget(terms_, 1);
    layout->addWidget(termTopCaption_);
    layout->addWidget(termTop_, 2);
    layout->addLayout(bottom);
    resize(560, 620);
    connect(exportCsv, &QPushButton::clicked, this, &TCompetitorsForm::ExportCsv);
    connect(hosts_, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto items = hosts_->selectedItems();
        ShowTermsOf(items.isEmpty()
                        ? QString()
                        : hosts_->item(items.first()->row(), 0)->data(Qt::UserRole).toString());
    });
    follow_ = std::make_unique<SettledRefresh>(table_, *this, [this] { Refresh(); });
    Refresh();
    ShowTopOf(-1);
}

TCompetitorsForm::~TCompetitorsForm() = default;

void TCompetitorsForm::Refresh() {
    const std::vector<Competitor> all = Competitors(table_, site_ ? site_() : std::string());
    hosts_->setSortingEnabled(false);
    hosts_->setRowCount(static_cast<int>(all.size()));
    for (int i = 0; i < static_cast<int>(all.size()); ++i) {
        const Competitor& c = all[static_cast<size_t>(i)];
        auto* host = new QTableWidgetItem(c.own ? ToQString(c.host) + QStringLiteral(" (your site)")
                                                : ToQString(c.host));
        host->setData(Qt::UserRole, ToQString(c.host));
        if (c.own) {
            QFont bold = host->font();
            bold.setBold(true);
            host->setFont(bold);
        }
        hosts_->setItem(i, 0, host);
        hosts_->setItem(i, 1, new NumberItem(c.terms, QString::number(c.terms)));
        hosts_->setItem(
            i, 2, new NumberItem(c.averagePosition, QString::number(c.averagePosition, 'f', 1)));
        hosts_->setItem(i, 3,
                        new NumberItem(c.share, QString::number(c.share * 100, 'f', 1) + u'%'));
    }
    hosts_->setSortingEnabled(true);
    ShowTopOf(table_.IndexOf(topOf_));
    // The user's own standing at a glance, wherever the sort puts its row.
    QString said = all.empty() ? QStringLiteral("No top results yet: research, then look again")
                               : QStringLiteral("%1 sites").arg(all.size());
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].own)
            said += QStringLiteral("; your site %1 is number %2 by share (%3 %)")
                        .arg(ToQString(all[i].host))
                        .arg(i + 1)
                        .arg(all[i].share * 100, 0, 'f', 1);
    status_->setText(said);
}

void TCompetitorsForm::ShowTermsOf(const QString& host) {
    terms_->clear();
    const std::string wanted = ToBytes(host);
    for (int i = 0; i < table_.Count(); ++i) {
        const ResultRow& row = table_.At(i);
        for (const TopResult& r : row.Top()) {
            if (r.host != wanted) continue;
            terms_->addItem(QStringLiteral("%1: place %2")
                                .arg(ToQString(std::string(row.KeyTerm())))
                                .arg(r.position));
            break;
        }
    }
}

void TCompetitorsForm::ShowTopOf(int index) {
    termTop_->setRowCount(0);
    if (index < 0 || index >= table_.Count()) {
        topOf_ = 0;
        termTopCaption_->setText(
            QStringLiteral("Top &results of a term: choose one in the main window's table"));
        return;
    }
    const ResultRow& row = table_.At(index);
    topOf_ = row.id;
    const QString term = ToQString(std::string(row.KeyTerm()));
    if (row.Top().empty()) {
        termTopCaption_->setText(
            QStringLiteral("No top &results kept for \u201C%1\u201D").arg(term));
        return;
    }
    termTopCaption_->setText(QStringLiteral("Top &results for \u201C%1\u201D:").arg(term));
    const std::string site = site_ ? site_() : std::string();
    termTop_->setRowCount(static_cast<int>(row.Top().size()));
    for (int i = 0; i < termTop_->rowCount(); ++i) {
        const TopResult& r = row.Top()[static_cast<size_t>(i)];
        auto* place = new QTableWidgetItem(QString::number(r.position));
        place->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* address = new QTableWidgetItem(ToQString(r.url));
        address->setToolTip(ToQString(r.host));
        if (UrlIsOnSite(r.url, site)) {
            QFont bold = address->font();
            bold.setBold(true);
            address->setFont(bold);
            address->setText(address->text() + QStringLiteral(" (your site)"));
        }
        termTop_->setItem(i, 0, place);
        termTop_->setItem(i, 1, address);
    }
}

void TCompetitorsForm::ExportCsv() {
    const auto choice = FileDialogs::GetSaveFile(
        this, QStringLiteral("Export competitors"), QStringLiteral("competitors.csv"),
        QStringLiteral("CSV table (*.csv)"), QStringLiteral("csv"));
    if (choice.path.isEmpty()) return;
    // The file holds what the window shows, in the window's order.
    const std::vector<Competitor> all = Competitors(table_, site_ ? site_() : std::string());
    std::vector<Competitor> shown;
    for (int row = 0; row < hosts_->rowCount(); ++row) {
        const std::string host = ToBytes(hosts_->item(row, 0)->data(Qt::UserRole).toString());
        for (const Competitor& c : all)
            if (c.host == host) shown.push_back(c);
    }
    const WriteResult written = WriteFileAtomically(QFile::encodeName(choice.path).toStdString(),
                                                    FormatCompetitorsCsv(shown));
    status_->setText(written ? QStringLiteral("Saved ") + choice.path
                             : QStringLiteral("Could not save ") + choice.path +
                                   QStringLiteral(": ") + ToQString(WriteFailureText(written)));
}

}  // namespace vx::ui
