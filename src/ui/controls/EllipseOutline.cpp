#include "ui/controls/EllipseOutline.h"

#include <algorithm>
#include <cmath>

namespace vx::ui {

std::vector<QPoint> EllipseOutline(int l, int t, int r, int b) {
    std::vector<QPoint> out;
    if (r - l < 1 || b - t < 1) return out;
    const double cx = (l + r - 1) / 2.0, cy = (t + b - 1) / 2.0;
    const double a = (r - l - 1) / 2.0, bb = (b - t - 1) / 2.0;
    auto round = [](double v) { return static_cast<int>(std::floor(v + 0.5)); };
    for (int x = l; x < r; ++x) {
        const double u = a > 0 ? (x - cx) / a : 0;
        const double h = bb * std::sqrt(std::max(0.0, 1 - u * u));
        out.emplace_back(x, round(cy - h));
        out.emplace_back(x, round(cy + h));
    }
    for (int y = t; y < b; ++y) {
        const double v = bb > 0 ? (y - cy) / bb : 0;
        const double w = a * std::sqrt(std::max(0.0, 1 - v * v));
        out.emplace_back(round(cx - w), y);
        out.emplace_back(round(cx + w), y);
    }
    std::sort(out.begin(), out.end(),
              [](QPoint p, QPoint q) { return p.y() != q.y() ? p.y() < q.y() : p.x() < q.x(); });
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace vx::ui
