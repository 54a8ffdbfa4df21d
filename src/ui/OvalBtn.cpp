#include "ui/OvalBtn.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace vx::ui {

namespace {

QColor Rgb(TColor c) {
    const TColor v = ColorToRGB(c);
    return QColor(RedOf(v), GreenOf(v), BlueOf(v));
}

// Drawing with the rules of the button's canvas: boxes exclude their right
// and bottom edges, a line leaves out its end point, arcs run counter-
// clockwise between two rays from the centre, nothing is antialiased.
// Pixels of the outline of the ellipse inscribed in the box (l, t)-(r, b),
// right and bottom edges excluded, sampled along both axes so it has no gaps.
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

class Canvas {
  public:
    // Outlines are drawn at the image's device pixels (a ratio of 2 gives
    // rings two device pixels wide that follow the curve), everything else
    // in logical pixels.
    explicit Canvas(QImage& image)
        : p_(&image), scale_(std::max(1, qRound(image.devicePixelRatio()))) {
        p_.setRenderHint(QPainter::Antialiasing, false);
    }

    void Pen(bool solid, QColor color = Qt::black) {
        penSolid_ = solid;
        penColor_ = color;
    }
    void Brush(bool solid, QColor color = Qt::white) {
        brushSolid_ = solid;
        brushColor_ = color;
    }
    bool BrushSolid() const { return brushSolid_; }
    void Font(const QFont& f, QColor color) {
        p_.setFont(f);
        fontColor_ = color;
    }
    void FontColor(QColor color) { fontColor_ = color; }

    void Ellipse(int l, int t, int r, int b) {
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

    // The part of the ellipse's outline that runs counter-clockwise (as seen
    // on the screen) from the ray toward (x1, y1) to the ray toward (x2, y2).
    void Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
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

    void MoveTo(int x, int y) { at_ = QPoint(x, y); }
    void LineTo(int x, int y) {
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

    void FillRect(int l, int t, int r, int b) {
        if (brushSolid_ && r > l && b > t) p_.fillRect(QRect(l, t, r - l, b - t), brushColor_);
    }

    // Copies src of bitmap to dest, the pixels of one colour showing the brush.
    void BrushCopy(const QRect& dest, const QImage& bitmap, const QRect& src, QColor transparent) {
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

    void Text(const QRect& box, const QString& text) {
        if (brushSolid_) p_.fillRect(box, brushColor_);
        p_.setPen(fontColor_);
        p_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic,
                    text);
    }

  private:
    // Paints in device pixels while it lives.
    struct DevicePixels {
        DevicePixels(QPainter& p, int scale) : p_(p) {
            p_.save();
            p_.scale(1.0 / scale, 1.0 / scale);
        }
        ~DevicePixels() { p_.restore(); }
        QPainter& p_;
    };

    // A one-logical-pixel outline in device pixels: scale concentric outlines.
    std::vector<QPoint> Ring(int l, int t, int r, int b) const {
        const int s = scale_;
        std::vector<QPoint> ring;
        for (int k = 0; k < s; ++k) {
            const auto outline = EllipseOutline(l * s + k, t * s + k, r * s - k, b * s - k);
            ring.insert(ring.end(), outline.begin(), outline.end());
        }
        return ring;
    }

    // Device pixels.
    void Plot(const std::vector<QPoint>& points, QColor color) {
        DevicePixels device(p_, scale_);
        p_.setPen(QPen(color, 0));
        p_.drawPoints(points.data(), static_cast<int>(points.size()));
    }

    QPainter p_;
    int scale_;
    bool penSolid_ = true, brushSolid_ = true;
    QColor penColor_ = Qt::black, brushColor_ = Qt::white, fontColor_ = Qt::black;
    QPoint at_;
};

}  // namespace

TOvalButton::TOvalButton(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground, false);
    setAutoFillBackground(false);
    setMouseTracking(true);
    resize(100, 50);
    RecomputeShades();
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

void TOvalButton::RecomputeShades() {
    // The factors as the button forms them, in single precision.
    const float light = (10 - 5) / 10.0f, dark = (10 - 4) / 10.0f;
    ShadeColors(color_, light, dark, lightShade_, darkShade_);
}

void TOvalButton::Invalidate() {
    // A full repaint asked for stays asked for: an in-place redraw that
    // comes after it (a press) adds to it and never replaces it.
    fullPaintPending_ = true;
    update();
}

void TOvalButton::Present() {
    update();
}

void TOvalButton::EnsureSurface() {
    // Drawn at device pixels, so the button is as sharp as the text beside it.
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (surface_.size() != pixels || surface_.devicePixelRatio() != dpr) {
        surface_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        surface_.setDevicePixelRatio(dpr);
        surface_.fill(Qt::transparent);
        fullPaintPending_ = true;
    }
}

// Every setter: nothing when the value is the same, else store and repaint.
template <typename T>
bool TOvalButton::Change(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    Invalidate();
    return true;
}

void TOvalButton::SetBevelWidth(uint8_t v) {
    Change(bevelWidth_, std::min<uint8_t>(v, 10));
}
void TOvalButton::SetLayout(TButtonLayout v) {
    Change(layout_, v);
}
void TOvalButton::SetMargin(int v) {
    Change(margin_, v);
}
void TOvalButton::SetNumGlyphs(uint8_t v) {
    Change(numGlyphs_, std::min<uint8_t>(v, 4));
}
void TOvalButton::SetSpacing(int v) {
    Change(spacing_, v);
}
void TOvalButton::SetTransparent(bool v) {
    Change(transparent_, v);
}
void TOvalButton::SetTransparentColor(TColor v) {
    Change(transparentColor_, v);
}
void TOvalButton::SetFont(const QFont& v) {
    Change(font_, v);
}
void TOvalButton::SetCaption(const QString& v) {
    Change(caption_, v);
}

void TOvalButton::SetColor(TColor v) {
    if (Change(color_, v)) RecomputeShades();
}

void TOvalButton::SetDown(bool v) {
    if (Change(down_, v)) bevelState_ = v ? -1 : (flat_ ? 0 : +1);
}

void TOvalButton::SetFlat(bool v) {
    if (Change(flat_, v)) bevelState_ = v ? 0 : +1;
}

void TOvalButton::SetGlyph(const QImage& v) {
    if (!Change(glyph_, v) || glyph_.isNull()) return;
    const QRgb p = glyph_.pixel(0, glyph_.height() - 1);
    transparentColor_ = RGBColor(qRed(p), qGreen(p), qBlue(p));
}

bool TOvalButton::InEllipse(int x, int y) const {
    return QRegion(0, 0, width(), height(), QRegion::Ellipse).contains(QPoint(x, y));
}

bool TOvalButton::IsAccelChar(QChar key, const QString& caption) {
    const qsizetype amp = caption.indexOf(u'&');
    if (amp < 0 || amp + 1 >= caption.size()) return false;
    auto upper = [](QChar c) { return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - 32) : c; };
    return upper(caption[amp + 1]) == upper(key);
}

TOvalButton::FaceLayout TOvalButton::Layout_() const {
    return LayoutFor(bevelState_);
}

TOvalButton::FaceLayout TOvalButton::LayoutFor(int bevelState) const {
    FaceLayout f;
    const int W = width(), H = height();
    const QFontMetrics fm(font_);
    const int tw = caption_.isEmpty() ? 0 : fm.horizontalAdvance(caption_);
    const int th = caption_.isEmpty() ? 0 : fm.height();
    f.text = QSize(tw, th);
    const bool captioned = !caption_.isEmpty();
    int srcLeft = 0, srcRight = glyph_.width();
    const int srcTop = 0, srcBottom = glyph_.height();
    const int cw = numGlyphs_ > 0 ? glyph_.width() / numGlyphs_ : 0;
    if (numGlyphs_ > 0) srcRight = cw;
    int left = 0, top = 0, gw = 0, gh = 0;
    if (numGlyphs_ > 0) {
        f.hasGlyph = true;
        if (!isEnabled() && numGlyphs_ > 1) srcLeft = cw, srcRight = 2 * cw;
        gw = srcRight - srcLeft;
        gh = srcBottom - srcTop;
        if (!captioned || layout_ == blGlyphTop || layout_ == blGlyphBottom) {
            left = half(W - gw);
        } else if (layout_ == blGlyphLeft) {
            left = half(W - (tw + spacing_ + gw)) - margin_;
        } else {
            left = half(tw + spacing_ + gw + W) - gw + margin_;
        }
        if (!captioned || layout_ == blGlyphLeft || layout_ == blGlyphRight) {
            top = half(H - gh);
        } else if (layout_ == blGlyphTop) {
            top = half(H - (th + gh + spacing_)) - margin_;
        } else {
            top = half(th + gh + spacing_ + H) - gh + margin_;
        }
        if (bevelState == -1) ++left, ++top;
        if (bevelState == -1 && numGlyphs_ > 2) srcLeft = 2 * cw, srcRight = 3 * cw;
        f.glyph = QRect(left, top, gw, gh);
        f.source = QRect(srcLeft, srcTop, srcRight - srcLeft, srcBottom - srcTop);
    }
    int x = half(W - tw), y = half(H - th);
    if (f.hasGlyph) {
        switch (layout_) {
            case blGlyphRight:
                x = left - tw - spacing_;
                break;
            case blGlyphLeft:
                x = left + gw + spacing_;
                break;
            case blGlyphTop:
                y = top + gh + spacing_;
                break;
            case blGlyphBottom:
                y = top - th - spacing_;
                break;
        }
    }
    if (bevelState == -1) ++x, ++y;
    f.caption = QPoint(x, y);
    return f;
}

void TOvalButton::DrawBevel() {
    EnsureSurface();
    Canvas c(surface_);
    const int W = width(), H = height();
    const bool none = bevelState_ == 0;
    c.Pen(!none, Rgb(bevelState_ == -1 ? darkShade_ : lightShade_));
    const int ax = 4 * (W / 5), ay = H / 5, bx = W / 5, by = 4 * (H / 5);
    for (int i = 1; i <= bevelWidth_; ++i) c.Arc(i, i, W - i - 1, H - i - 1, ax, ay, bx, by);
    c.Pen(!none, Rgb(bevelState_ == -1 ? lightShade_ : darkShade_));
    for (int i = 1; i <= bevelWidth_; ++i) c.Arc(i, i, W - i - 1, H - i - 1, bx, by, ax, ay);
}

void TOvalButton::PaintFace() {
    EnsureSurface();
    const FaceLayout f = Layout_();
    DrawBevel();
    Canvas c(surface_);
    c.Font(font_, Rgb(clWindowText));
    if (f.hasGlyph) {
        c.Pen(!transparent_, Rgb(color_));
        const int left = f.glyph.left(), top = f.glyph.top();
        const int right = left + f.glyph.width(), bottom = top + f.glyph.height();
        if (bevelState_ == -1) {
            c.MoveTo(left - 1, bottom);
            c.LineTo(left - 1, top - 1);
            c.LineTo(right, top - 1);
        } else {
            c.MoveTo(right, top);
            c.LineTo(right, bottom);
            c.LineTo(left, bottom);
        }
        c.Brush(!transparent_, Rgb(color_));
        c.BrushCopy(f.glyph, glyph_, f.source, Rgb(transparentColor_));
    }
    if (caption_.isEmpty()) return;
    const int x = f.caption.x(), y = f.caption.y(), tw = f.text.width(), th = f.text.height();
    c.Brush(!transparent_, Rgb(color_));
    // Erase where the caption stands both raised and pressed (a pixel or
    // two apart), so no trace of the other state stays and an in-place
    // redraw equals a full repaint.
    const QPoint raised = LayoutFor(+1).caption, pressed = LayoutFor(-1).caption;
    const int ex = std::min(raised.x(), pressed.x()), ey = std::min(raised.y(), pressed.y());
    c.FillRect(ex, ey, std::max(raised.x(), pressed.x()) + tw + 1,
               std::max(raised.y(), pressed.y()) + th + 1);
    if (!isEnabled()) c.FontColor(Rgb(clGrayText));
    // The caption is drawn from a buffer of 79 characters.
    c.Text(QRect(x, y, tw, th), caption_.left(79));
}

void TOvalButton::Paint() {
    EnsureSurface();
    surface_.fill(Qt::transparent);
    {
        Canvas c(surface_);
        c.Brush(!transparent_, Rgb(color_));
        c.Pen(!flat_, Qt::black);
        c.Ellipse(0, 0, width() - 1, height() - 1);
    }
    PaintFace();
}

void TOvalButton::paintEvent(QPaintEvent*) {
    EnsureSurface();
    if (fullPaintPending_) Paint();
    fullPaintPending_ = false;
    QPainter p(this);
    p.drawImage(0, 0, surface_);
}

void TOvalButton::resizeEvent(QResizeEvent*) {
    Invalidate();
}

void TOvalButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) Invalidate();
    QWidget::changeEvent(event);
}

void TOvalButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (isEnabled() && InEllipse(x, y)) {
        downAtPress_ = down_;
        down_ = true;
        bevelState_ = -1;
        if (transparent_) {
            Invalidate();
        } else {
            PaintFace();
            Present();
        }
        if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
    }
    mousePressed_ = true;
}

void TOvalButton::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (isEnabled() && InEllipse(x, y)) {
        if (groupIndex_ == 0) {
            down_ = false;
            bevelState_ = +1;
            if (transparent_) {
                Invalidate();
            } else {
                PaintFace();
                Present();
            }
        } else {
            SetDown(!downAtPress_);
        }
        if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
    }
    mousePressed_ = false;
}

void TOvalButton::MouseMove(Qt::KeyboardModifiers shift, int x, int y) {
    const bool inside = InEllipse(x, y);
    if (mousePressed_) {
        if (inside) {
            if (bevelState_ == +1 && groupIndex_ == 0) {
                mouseInside_ = true;
                down_ = true;
                bevelState_ = -1;
                DrawBevel();
                Present();
            }
        } else {
            if (bevelState_ == -1 && groupIndex_ == 0 && mouseInside_) {
                down_ = false;
                bevelState_ = +1;
                DrawBevel();
                Present();
            }
            mouseInside_ = false;
        }
    } else if (!flat_ || down_) {
        mouseInside_ = inside;
    } else if (inside) {
        mouseInside_ = true;
        bevelState_ = +1;
        DrawBevel();
        Present();
    } else if (mouseInside_) {
        mouseInside_ = false;
        bevelState_ = 0;
        Invalidate();
    }
    if (mouseInside_ && OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TOvalButton::Click() {
    if (isEnabled() && mouseInside_ && OnClick) OnClick(this);
}

void TOvalButton::DblClick() {
    if (isEnabled() && mouseInside_ && OnDblClick) OnDblClick(this);
}

void TOvalButton::MouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TOvalButton::MouseLeave() {
    if (mouseInside_ && isEnabled()) {
        mouseInside_ = false;
        if (flat_ && !down_) {
            bevelState_ = 0;
            Invalidate();
        }
    }
    if (OnMouseExit) OnMouseExit(this);
}

bool TOvalButton::DialogChar(QChar key) {
    if (!IsAccelChar(key, caption_)) return false;
    if (isEnabled()) Click();
    return true;
}

// Qt's mouse routing mapped onto the button's: capture only after a left
// press; after another button, moves and the release belong to whatever lies
// under the pointer, so those outside our rectangle are not ours.
void TOvalButton::mousePressEvent(QMouseEvent* e) {
    pressButton_ = e->button();
    const QPoint p = e->position().toPoint();
    MouseDown(e->button(), e->modifiers(), p.x(), p.y());
}

void TOvalButton::mouseDoubleClickEvent(QMouseEvent* e) {
    pressButton_ = e->button();
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        DblClick();
        releaseEndsDoubleClick_ = true;
    }
    MouseDown(e->button(), e->modifiers(), p.x(), p.y());
}

void TOvalButton::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    const bool captured = (e->buttons() & Qt::LeftButton) && pressButton_ == Qt::LeftButton;
    if (e->buttons() != Qt::NoButton && !captured && !rect().contains(p)) return;
    MouseMove(e->modifiers(), p.x(), p.y());
}

void TOvalButton::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    const bool left = e->button() == Qt::LeftButton && pressButton_ == Qt::LeftButton;
    if (!left && !rect().contains(p)) return;
    if (left && rect().contains(p) && !releaseEndsDoubleClick_) Click();
    releaseEndsDoubleClick_ = false;
    MouseUp(e->button(), e->modifiers(), p.x(), p.y());
}

void TOvalButton::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    MouseEnter();
}

void TOvalButton::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    MouseLeave();
}

bool TOvalButton::eventFilter(QObject* watched, QEvent* event) {
    // Accelerators: a key the focused control does not take is offered to the
    // buttons of its window.
    if (event->type() == QEvent::KeyPress && isVisible()) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        QWidget* focus = QApplication::focusWidget();
        // Any focused control that takes typing keeps its keys.
        const bool takesText =
            focus && (focus->testAttribute(Qt::WA_InputMethodEnabled) ||
                      focus->inherits("QLineEdit") || focus->inherits("QAbstractSpinBox") ||
                      focus->inherits("QTextEdit") || focus->inherits("QPlainTextEdit"));
        const bool ours =
            watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == window();
        if (ours && text.size() == 1 && (!takesText || (key->modifiers() & Qt::AltModifier)) &&
            DialogChar(text[0]))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vx::ui
