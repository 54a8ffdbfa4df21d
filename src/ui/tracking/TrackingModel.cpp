#include "ui/tracking/TrackingModel.h"

#include <QColor>

#include "tracking/rank_moves.h"

namespace vx::ui {

void TrackingModel::SetTerms(std::vector<TrackedTerm> terms) {
    beginResetModel();
    terms_ = std::move(terms);
    endResetModel();
}

int TrackingModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(terms_.size());
}

int TrackingModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString TrackingModel::ChangeText(const TrackedTerm& term) {
    const Rank now = term.Latest(), before = term.Previous();
    if (!now || !before || *now == *before) return {};
    if (*before == kNotRanked) return QStringLiteral("new in the pages");
    if (*now == kNotRanked) return QStringLiteral("left the pages");
    return *now < *before ? QStringLiteral("up %1").arg(*before - *now)
                          : QStringLiteral("down %1").arg(*now - *before);
}

QVariant TrackingModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const TrackedTerm& t = terms_[static_cast<size_t>(index.row())];
    if (role == Qt::ForegroundRole && t.paused) return QColor(Qt::gray);
    if (role == Qt::TextAlignmentRole && index.column() != kTerm && index.column() != kRecent)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
        case kTerm:
            return QString::fromStdString(t.term) +
                   (t.paused ? QStringLiteral(" (paused)") : QString());
        case kRank:
            // Blank until a check asked for it.
            return t.recent.empty() ? QString() : QString::fromStdString(RankText(t.Latest()));
        case kChange:
            return ChangeText(t);
        case kBest:
            return t.best ? QString::number(*t.best) : QString();
        case kRecent: {
            // The line is drawn; its words are for tooltips and screen readers.
            if (role == Qt::DisplayRole) return {};
            QStringList ranks;
            for (const Rank r : t.recent) ranks << QString::fromStdString(RankText(r));
            return QStringLiteral("last checks: ") + ranks.join(QStringLiteral(", "));
        }
        default:
            return {};
    }
}

QVariant TrackingModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const captions[kColumns] = {"Term", "Rank", "Change", "Best",
                                                   "Last 30 checks"};
    return section >= 0 && section < kColumns ? QString::fromLatin1(captions[section]) : QVariant();
}

}  // namespace vx::ui
