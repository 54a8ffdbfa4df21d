#include "ui/controls/OvalBtn.h"

#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/Canvas.h"
#include "ui/controls/OvalButtonAccessible.h"

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

}  // namespace

TOvalButton::TOvalButton(QWidget* parent) : QWidget(parent) {
    InstallAccessibleFactory<TOvalButton, OvalButtonAccessible>();  // first: see its header
    setAttribute(Qt::WA_NoSystemBackground, false);
    setAutoFillBackground(false);
    setMouseTracking(true);
    resize(100, 50);
    RecomputeShades();
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
    // Reached with Tab and pressed with Space or Enter, as a push button.
    setFocusPolicy(Qt::TabFocus);
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

namespace {
QChar UpperAtoZ(QChar c) {
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - 32) : c;
}
}  // namespace

QChar TOvalButton::AccelChar(const QString& caption) {
    const qsizetype amp = caption.indexOf(u'&');
    if (amp < 0 || amp + 1 >= caption.size()) return {};
    return UpperAtoZ(caption[amp + 1]);
}

bool TOvalButton::IsAccelChar(QChar key, const QString& caption) {
    const QChar accel = AccelChar(caption);
    return !accel.isNull() && accel == UpperAtoZ(key);
}

TOvalButton::FaceLayout TOvalButton::CurrentLayout() const {
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
            left = HalfDown(W - gw);
        } else if (layout_ == blGlyphLeft) {
            left = HalfDown(W - (tw + spacing_ + gw)) - margin_;
        } else {
            left = HalfDown(tw + spacing_ + gw + W) - gw + margin_;
        }
        if (!captioned || layout_ == blGlyphLeft || layout_ == blGlyphRight) {
            top = HalfDown(H - gh);
        } else if (layout_ == blGlyphTop) {
            top = HalfDown(H - (th + gh + spacing_)) - margin_;
        } else {
            top = HalfDown(th + gh + spacing_ + H) - gh + margin_;
        }
        if (bevelState == -1) ++left, ++top;
        if (bevelState == -1 && numGlyphs_ > 2) srcLeft = 2 * cw, srcRight = 3 * cw;
        f.glyph = QRect(left, top, gw, gh);
        f.source = QRect(srcLeft, srcTop, srcRight - srcLeft, srcBottom - srcTop);
    }
    int x = HalfDown(W - tw), y = HalfDown(H - th);
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
    const FaceLayout f = CurrentLayout();
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

void TOvalButton::Press() {
    if (isEnabled() && OnClick) OnClick(this);
}

void TOvalButton::keyPressEvent(QKeyEvent* event) {
    if (PressableAccessible::IsPressKey(event->key()))
        Press();
    else
        QWidget::keyPressEvent(event);
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
