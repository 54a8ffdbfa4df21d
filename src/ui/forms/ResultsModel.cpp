#include "ui/forms/ResultsModel.h"

#include <QColor>

#include "core/text.h"
#include "results/export.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

ResultsModel::ResultsModel(ResultsTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), shownRows_(table.Count()) {
    table_.AddObserver(this);
}

ResultsModel::~ResultsModel() {
    table_.RemoveObserver(this);
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_ + static_cast<int>(gone_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount + (Comparing() ? 1 : 0);
}

void ResultsModel::SetComparison(std::optional<ResultsTable> older) {
    beginResetModel();
    older_ = std::move(older);
    Recompare();
    endResetModel();
}

void ResultsModel::Recompare() {
    changes_.clear();
    gone_.clear();
    if (!older_) return;
    std::vector<TermChange> all = CompareTables(*older_, table_);
    for (const TermChange& c : all)
        if (c.status == TermStatus::Gone) gone_.push_back(c);
    changes_ = ChangesByTerm(all);
}

const TermChange* ResultsModel::ChangeOf(const ResultRow& row) const {
    const auto it = changes_.find(FoldCase(row.KeyTerm()));
    return it == changes_.end() ? nullptr : &it->second;
}

std::vector<std::string> ResultsModel::Changes() const {
    std::vector<std::string> out;
    for (int i = 0; i < table_.Count(); ++i) {
        const TermChange* c = ChangeOf(table_.At(i));
        out.push_back(c ? ChangeMark(*c) : std::string());
    }
    return out;
}

void ResultsModel::SortByChange() {
    table_.SortBy([this](const ResultRow& a, const ResultRow& b) {
        return CompareChanges(ChangeOf(a), ChangeOf(b));
    });
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (index.row() >= shownRows_) {
        // A term that is gone: its older texts, greyed.
        const size_t g = static_cast<size_t>(index.row() - shownRows_);
        if (g >= gone_.size()) return {};
        if (role == Qt::ForegroundRole) return QColor(Qt::gray);
        if (role == Qt::AccessibleTextRole && index.column() == kChangeColumn)
            return QStringLiteral("gone");
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        const TermChange& c = gone_[g];
        switch (index.column()) {
            case colKeyTerm:
                return ToQString(c.term);
            case colDemand:
                return ToQString(c.demandOld);
            case colCompetition:
                return ToQString(c.competitionOld);
            case colRank:
                return ToQString(c.rankOld);
            case kChangeColumn:
                return QStringLiteral("gone");
            default:
                return {};
        }
    }
    if (index.row() >= table_.Count()) return {};
    const ResultRow& row = table_.At(index.row());
    if (index.column() == kChangeColumn) {
        const TermChange* c = ChangeOf(row);
        // In words for a screen reader: arrows are not read as movement.
        if (role == Qt::AccessibleTextRole) return c ? ToQString(ChangeWords(*c)) : QString();
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        return c ? ToQString(ChangeMark(*c)) : QString();
    }
    if (role == Qt::ToolTipRole && index.column() == colKeyTerm && !row.Top().empty()) {
        // Who holds the first places, without opening the Competitors window.
        QString tip = ToQString(std::string(row.KeyTerm())) + QStringLiteral("\nTop results:");
        for (const TopResult& r : row.Top())
            tip += QStringLiteral("\n%1. %2").arg(r.position).arg(ToQString(r.url));
        return tip;
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return ToQString(std::string(row.Text(index.column())));
    }
    if (role == Qt::CheckStateRole && index.column() == colKeyTerm)
        return row.checked ? Qt::Checked : Qt::Unchecked;
    // Numbers line up by their last digit.
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((index.column() == colKeyTerm ? Qt::AlignLeft : Qt::AlignRight) |
                                   Qt::AlignVCenter);
    return {};
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != colKeyTerm || role != Qt::CheckStateRole ||
        index.row() >= table_.Count())
        return false;
    table_.SetCheckedAt(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (index.row() >= shownRows_) return Qt::ItemIsEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == colKeyTerm) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == kChangeColumn &&
        Comparing())
        return QStringLiteral("Change");
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(kColumnCaptions[section]);
}

void ResultsModel::TableReset() {
    beginResetModel();
    shownRows_ = table_.Count();
    Recompare();
    endResetModel();
}

void ResultsModel::RowAppended(int index) {
    // Compared, a new row may bring a gone term back: everything again.
    if (Comparing()) return TableReset();
    beginInsertRows({}, shownRows_, index);
    shownRows_ = table_.Count();
    endInsertRows();
}

void ResultsModel::RowChanged(int index) {
    if (Comparing()) return TableReset();
    emit dataChanged(this->index(index, 0), this->index(index, kColumnCount - 1));
}

}  // namespace vx::ui
