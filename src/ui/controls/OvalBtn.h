// TOvalButton: an elliptical push button drawn over its parent's surface,
// with bevel rings in a light and a dark shade of its face colour, an
// optional glyph strip and a caption with an accelerator. It answers the
// mouse inside the ellipse only; with a GroupIndex it toggles.
//
// The button keeps the picture it shows in an image of its own, so a press
// can draw the face over the present picture (as the button does) and a
// repaint redraws everything.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "core/rrColors.h"

namespace vx::ui {

enum TButtonLayout : uint8_t { blGlyphBottom, blGlyphLeft, blGlyphRight, blGlyphTop };

constexpr TColor clBlack = 0;

// n halved and rounded down (arithmetic shift), so an item larger than the
// control overhangs it equally on both sides.
constexpr int HalfDown(int n) {
    return n >> 1;
}

class TOvalButton : public QWidget {
    Q_OBJECT
  public:
    explicit TOvalButton(QWidget* parent = nullptr);

    using Notify = std::function<void(TOvalButton*)>;
    using MouseHandler =
        std::function<void(TOvalButton*, Qt::MouseButton, Qt::KeyboardModifiers, int, int)>;
    using MoveHandler = std::function<void(TOvalButton*, Qt::KeyboardModifiers, int, int)>;

    // Properties.
    uint8_t BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(uint8_t value);
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    TColor LightShade() const { return lightShade_; }
    TColor DarkShade() const { return darkShade_; }
    bool Down() const { return down_; }
    void SetDown(bool value);
    bool DownAtPress() const { return downAtPress_; }
    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& value);
    const QImage& Glyph() const { return glyph_; }
    void SetGlyph(const QImage& value);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value) { groupIndex_ = value; }
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return margin_; }
    void SetMargin(int value);
    uint8_t NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(uint8_t value);
    int Spacing() const { return spacing_; }
    void SetSpacing(int value);
    int BevelState() const { return bevelState_; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TColor TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(TColor value);
    bool MousePressed() const { return mousePressed_; }
    bool MouseInside() const { return mouseInside_; }
    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& value);

    Notify OnClick, OnDblClick, OnMouseEnter, OnMouseExit;
    MouseHandler OnMouseDown, OnMouseUp;
    MoveHandler OnMouseMove;

    // Operations.
    void Paint();
    void PaintFace();
    void DrawBevel();
    bool InEllipse(int x, int y) const;
    static bool IsAccelChar(QChar key, const QString& caption);
    // The accelerator: the character after the first "&", upper-cased when
    // a letter a to z; none without one.
    static QChar AccelChar(const QString& caption);
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void Click();
    // A press from the keyboard or assistive technology: OnClick when
    // enabled, wherever the pointer is.
    void Press();
    void DblClick();
    void MouseEnter();
    void MouseLeave();
    // A key offered as an accelerator; true when the button took it.
    bool DialogChar(QChar key);

    // Where PaintFace puts the glyph and the caption in the present state.
    struct FaceLayout {
        bool hasGlyph = false;
        QRect glyph;     // after the pressed shift
        QRect source;    // the glyph cell copied
        QPoint caption;  // top-left of the caption box
        QSize text;      // caption width and height
    };
    FaceLayout CurrentLayout() const;
    FaceLayout LayoutFor(int bevelState) const;

    // The picture the button shows, as last drawn.
    const QImage& Surface() const { return surface_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Invalidate();
    template <typename T>
    bool Change(T& field, const T& value);
    void Present();  // show what was drawn straight onto the surface
    void RecomputeShades();
    void EnsureSurface();

    uint8_t bevelWidth_ = 0;
    TColor color_ = clBtnFace;
    TColor lightShade_ = 0, darkShade_ = 0;
    bool down_ = false, downAtPress_ = false, flat_ = false;
    QFont font_;
    QImage glyph_;
    int groupIndex_ = 0;
    TButtonLayout layout_ = blGlyphBottom;
    int margin_ = 0;
    uint8_t numGlyphs_ = 0;
    int spacing_ = 4;
    int bevelState_ = +1;
    bool transparent_ = false;
    TColor transparentColor_ = clBlack;
    bool mousePressed_ = false, mouseInside_ = false;
    QString caption_;

    QImage surface_;
    bool fullPaintPending_ = true;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    bool releaseEndsDoubleClick_ = false;
};

}  // namespace vx::ui
