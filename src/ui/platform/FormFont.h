#pragma once

#include <QFont>
#include <QString>

namespace vx::ui {

// A form font by pixel height; "MS Sans Serif" and "Arial" are not on Linux
// desktops, so a condensed sans of the same height stands in, keeping the
// captions inside the places the layout gives them.
QFont FormFont(const QString& family, int pixelHeight, bool bold = false);

}  // namespace vx::ui
