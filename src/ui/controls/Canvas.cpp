#include "ui/controls/Canvas.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "ui/controls/EllipseOutline.h"

namespace vx::ui {

namespace {

// Paints in device pixels while it lives.
class DevicePixels {
  public:
    DevicePixels(QPainter& p, int scale) : p_(p) {
        p_.save();
        p_.scale(1.0 / scale, 1.0 / scale);
    }
    ~DevicePixels() { p_.restore(); }
    Q_DISABLE_COPY_MOVE(DevicePixels)

  private:
    QPainter& p_;
};

}  // namespace

Canvas::Canvas(QImage& image) : p_(&image), scale_(std::max(1, qRound(image.devicePixelRatio()))) {
    p_.setRenderHint(QPainter::Antialiasing, false);
}

void Canvas::Ellipse(int l, int t, int r, int b) {
    const int s = scale_;
    const auto outline = EllipseOutline(l * s, t * s, r * s, b * s);
    if (brushSolid_) {
        // Fill each row between the outline's ends.
        std::map<int, std::pair<int, int>> rows;
        for (const QPoint& p : outline) {
            auto [it, fresh] = rows.try_emplace(p.y(), p.x(), p.x());
            it->second.first = std::min(it->second.first, p.x());
            it->second.second = std::max(it->second.second, p.x());
        }
        DevicePixels device(p_, s);
        for (const auto& [y, span] : rows)
            p_.fillRect(QRect(span.first, y, span.second - span.first + 1, 1), brushColor_);
    }
    if (penSolid_) Plot(Ring(l, t, r, b), penColor_);
}

void Canvas::Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    if (!penSolid_) return;
    const int s = scale_;
    const double cx = (l * s + r * s - 1) / 2.0, cy = (t * s + b * s - 1) / 2.0;
    auto angle = [&](double x, double y) {
        const double deg = std::atan2(-(y - cy), x - cx) * 180.0 / M_PI;
        return deg < 0 ? deg + 360.0 : deg;
    };
    const double from = angle(x1 * s, y1 * s);
    double span = angle(x2 * s, y2 * s) - from;
    if (span <= 0) span += 360.0;
    std::vector<QPoint> part;
    for (const QPoint& p : Ring(l, t, r, b)) {
        double d = angle(p.x(), p.y()) - from;
        if (d < 0) d += 360.0;
        if (d <= span) part.push_back(p);
    }
    Plot(part, penColor_);
}

void Canvas::LineTo(int x, int y) {
    const QPoint to(x, y);
    if (penSolid_ && to != at_) {
        // The end point itself is not drawn.
        const int dx = (to.x() > at_.x()) - (to.x() < at_.x());
        const int dy = (to.y() > at_.y()) - (to.y() < at_.y());
        p_.setPen(QPen(penColor_, 1));
        p_.drawLine(at_, to - QPoint(dx, dy));
    }
    at_ = to;
}

void Canvas::FillRect(int l, int t, int r, int b) {
    if (brushSolid_ && r > l && b > t) p_.fillRect(QRect(l, t, r - l, b - t), brushColor_);
}

void Canvas::BrushCopy(const QRect& dest, const QImage& bitmap, const QRect& src,
                       QColor transparent) {
    if (src.width() <= 0 || src.height() <= 0) return;
    QImage cell = bitmap.copy(src).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() & 0xFFFFFF;
    for (int y = 0; y < cell.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
        for (int x = 0; x < cell.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = brushSolid_ ? brushColor_.rgb() : qRgba(0, 0, 0, 0);
    }
    p_.drawImage(dest.topLeft(), cell);
}

void Canvas::Text(const QRect& box, const QString& text) {
    if (brushSolid_) p_.fillRect(box, brushColor_);
    p_.setPen(fontColor_);
    p_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic,
                text);
}

std::vector<QPoint> Canvas::Ring(int l, int t, int r, int b) const {
    const int s = scale_;
    std::vector<QPoint> ring;
    for (int k = 0; k < s; ++k) {
        const auto outline = EllipseOutline(l * s + k, t * s + k, r * s - k, b * s - k);
        ring.insert(ring.end(), outline.begin(), outline.end());
    }
    return ring;
}

void Canvas::Plot(const std::vector<QPoint>& points, QColor color) {
    DevicePixels device(p_, scale_);
    p_.setPen(QPen(color, 0));
    p_.drawPoints(points.data(), static_cast<int>(points.size()));
}

}  // namespace vx::ui
