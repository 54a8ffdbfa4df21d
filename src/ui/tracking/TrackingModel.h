// A tracking project's terms for the Tracking window: latest rank, its
// change since the check before, best rank, and the last checks' line.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "history/project_store.h"

namespace vx::ui {

class TrackingModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kTerm, kRank, kChange, kBest, kRecent, kColumns };
    using QAbstractTableModel::QAbstractTableModel;

    void SetTerms(std::vector<TrackedTerm> terms);
    const TrackedTerm& TermAt(int row) const { return terms_.at(static_cast<size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "up 3", "down 12", "new in the pages", "left the pages", "" when the
    // same or not known.
    static QString ChangeText(const TrackedTerm& term);

  private:
    std::vector<TrackedTerm> terms_;
};

}  // namespace vx::ui
