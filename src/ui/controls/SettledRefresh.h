// Keeps a window that shows figures of the table up to date: it refreshes
// once the table has settled (200 ms after a change), never once per cell
// of a run, and only while the window is shown. Observes the table for its
// own life.
#pragma once

#include <functional>

#include "results/results_table.h"

class QWidget;

namespace vx::ui {

class SettledRefresh : public TableObserver {
  public:
    SettledRefresh(ResultsTable& table, QWidget& window, std::function<void()> refresh);
    ~SettledRefresh() override;
    SettledRefresh(const SettledRefresh&) = delete;
    SettledRefresh& operator=(const SettledRefresh&) = delete;

  private:
    void TableReset() override { Changed(); }
    void RowAppended(int) override { Changed(); }
    void RowChanged(int) override { Changed(); }
    void Changed();

    ResultsTable& table_;
    QWidget& window_;
    std::function<void()> refresh_;
    bool queued_ = false;
};

}  // namespace vx::ui
