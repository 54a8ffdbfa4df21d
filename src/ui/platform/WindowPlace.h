// Where the program's other windows (History, the chart, Preferences) open:
// wholly on the screen that holds the main window, beside it where there is
// room; where the user last left them, kept on the screen; and gone on
// Escape.
#pragma once

#include <QRect>
#include <optional>
#include <string>

class QWidget;

namespace vx {
class SettingsStore;
}

namespace vx::ui {

// The frame a window of size opens in: saved (its size and place, pulled
// back onto the screen), else right of main, else left of it, else within
// the screen's available area; never larger than that area.
QRect PlaceFor(QSize size, const QRect& main, const QRect& available,
               const std::optional<QRect>& saved);

// Places window by PlaceFor against main's screen and the place saved under
// key, and keeps its place there whenever it is hidden or closed; Escape
// closes it. Once per window.
void ManagePlace(QWidget& window, const QWidget& main, SettingsStore* store,
                 const std::string& key);

}  // namespace vx::ui
