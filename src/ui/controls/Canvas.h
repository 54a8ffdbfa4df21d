// Drawing with the rules of the oval button's canvas: boxes exclude their
// right and bottom edges, a line leaves out its end point, arcs run counter-
// clockwise between two rays from the centre, nothing is antialiased.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>
#include <vector>

namespace vx::ui {

class Canvas {
  public:
    // Outlines are drawn at the image's device pixels (a ratio of 2 gives
    // rings two device pixels wide that follow the curve), everything else
    // in logical pixels.
    explicit Canvas(QImage& image);
    Q_DISABLE_COPY_MOVE(Canvas)

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

    void Ellipse(int l, int t, int r, int b);
    // The part of the ellipse's outline that runs counter-clockwise (as seen
    // on the screen) from the ray toward (x1, y1) to the ray toward (x2, y2).
    void Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2);
    void MoveTo(int x, int y) { at_ = QPoint(x, y); }
    void LineTo(int x, int y);
    void FillRect(int l, int t, int r, int b);
    // Copies src of bitmap to dest, the pixels of one colour showing the brush.
    void BrushCopy(const QRect& dest, const QImage& bitmap, const QRect& src, QColor transparent);
    void Text(const QRect& box, const QString& text);

  private:
    // A one-logical-pixel outline in device pixels: scale concentric outlines.
    std::vector<QPoint> Ring(int l, int t, int r, int b) const;
    // Device pixels.
    void Plot(const std::vector<QPoint>& points, QColor color);

    QPainter p_;
    int scale_;
    bool penSolid_ = true, brushSolid_ = true;
    QColor penColor_ = Qt::black, brushColor_ = Qt::white, fontColor_ = Qt::black;
    QPoint at_;
};

}  // namespace vx::ui
