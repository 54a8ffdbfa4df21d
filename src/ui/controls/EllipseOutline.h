// Pixels of the outline of the ellipse inscribed in the box (l, t)-(r, b),
// right and bottom edges excluded, sampled along both axes so it has no gaps;
// sorted by row, then column.
#pragma once

#include <QPoint>
#include <vector>

namespace vx::ui {

std::vector<QPoint> EllipseOutline(int l, int t, int r, int b);

}  // namespace vx::ui
