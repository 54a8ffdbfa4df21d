#include "ui/controls/SettledRefresh.h"

#include <QTimer>
#include <QWidget>

namespace vx::ui {

SettledRefresh::SettledRefresh(ResultsTable& table, QWidget& window, std::function<void()> refresh)
    : table_(table), window_(window), refresh_(std::move(refresh)) {
    table_.AddObserver(this);
}

SettledRefresh::~SettledRefresh() {
    table_.RemoveObserver(this);
}

void SettledRefresh::Changed() {
    if (queued_ || !window_.isVisible()) return;
    queued_ = true;
    // Timed on the window: gone with it, never after.
    QTimer::singleShot(200, &window_, [this] {
        queued_ = false;
        refresh_();
    });
}

}  // namespace vx::ui
