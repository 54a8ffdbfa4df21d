#include "ui/forms/ResultsModel.h"

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
    return parent.isValid() ? 0 : shownRows_;
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shownRows_ || index.row() >= table_.Count()) return {};
    const ResultRow& row = table_.At(index.row());
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
    if (!index.isValid() || index.column() != colKeyTerm || role != Qt::CheckStateRole)
        return false;
    table_.SetCheckedAt(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == colKeyTerm) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(kColumnCaptions[section]);
}

void ResultsModel::TableReset() {
    beginResetModel();
    shownRows_ = table_.Count();
    endResetModel();
}

void ResultsModel::RowAppended(int index) {
    beginInsertRows({}, shownRows_, index);
    shownRows_ = table_.Count();
    endInsertRows();
}

void ResultsModel::RowChanged(int index) {
    emit dataChanged(this->index(index, 0), this->index(index, kColumnCount - 1));
}

}  // namespace vx::ui
