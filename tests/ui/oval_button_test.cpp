#include "ui/Application.h"
#include "ui/OvalBtn.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>

#include "support/pointer.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

// Face colour (192, 192, 192) everywhere, so shades are known numbers.
struct Grey {
    Grey() {
        SetSystemColorResolver([](int index) {
            return index == 17 ? RGBColor(128, 128, 128) : RGBColor(192, 192, 192);
        });
    }
    ~Grey() { SetSystemColorResolver(nullptr); }
};

QColor Rgb(TColor c) {
    const TColor v = ColorToRGB(c);
    return QColor(RedOf(v), GreenOf(v), BlueOf(v));
}

struct Counts {
    int clicks = 0, downs = 0, ups = 0, moves = 0, dbl = 0;
};

struct Fixture {
    Grey grey;
    QWidget parent;
    TOvalButton* b;
    Counts n;
    Fixture() {
        parent.resize(300, 200);
        b = new TOvalButton(&parent);
        b->move(100, 50);
        b->OnClick = [this](TOvalButton*) { ++n.clicks; };
        b->OnDblClick = [this](TOvalButton*) { ++n.dbl; };
        b->OnMouseDown = [this](TOvalButton*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            ++n.downs;
        };
        b->OnMouseUp = [this](TOvalButton*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            ++n.ups;
        };
        b->OnMouseMove = [this](TOvalButton*, Qt::KeyboardModifiers, int, int) { ++n.moves; };
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
};

const QPoint kCentre(50, 25), kCorner(2, 2), kAway(150, 25);

enum Act { Move, PressL, ReleaseL, PressR, ReleaseR };
struct Event {
    Act act;
    QPoint at;
};

void Play(TOvalButton* b, const std::vector<Event>& events) {
    Qt::MouseButtons held;
    for (const Event& e : events) {
        switch (e.act) {
            case Move:
                vx::testing::PointerTo(b, e.at, held);
                break;
            case PressL:
                QTest::mousePress(b, Qt::LeftButton, {}, e.at), held |= Qt::LeftButton;
                break;
            case ReleaseL:
                QTest::mouseRelease(b, Qt::LeftButton, {}, e.at), held &= ~Qt::LeftButton;
                break;
            case PressR:
                QTest::mousePress(b, Qt::RightButton, {}, e.at), held |= Qt::RightButton;
                break;
            case ReleaseR:
                QTest::mouseRelease(b, Qt::RightButton, {}, e.at), held &= ~Qt::RightButton;
                break;
        }
    }
}

TEST(OvalButton, NewButton) {
    Grey grey;
    TOvalButton b;
    EXPECT_EQ(b.size(), QSize(100, 50));
    EXPECT_EQ(b.Color(), clBtnFace);
    EXPECT_EQ(b.BevelWidth(), 0);
    EXPECT_EQ(b.BevelState(), +1);
    EXPECT_EQ(b.Spacing(), 4);
    EXPECT_EQ(b.Layout(), blGlyphBottom);
    EXPECT_EQ(b.NumGlyphs(), 0);
    EXPECT_EQ(b.LightShade(), RGBColor(223, 223, 223));
    EXPECT_EQ(b.DarkShade(), RGBColor(115, 115, 115));
    b.SetColor(RGBColor(255, 0, 0));
    EXPECT_EQ(b.LightShade(), RGBColor(255, 127, 127));
    EXPECT_EQ(b.DarkShade(), RGBColor(153, 0, 0));
}

TEST(OvalButton, MouseStateMachine) {
    struct Case {
        const char* name;
        int groupIndex;
        std::vector<Event> events;
        bool down;
        int bevel, clicks, downs;
    } cases[] = {
        {"click", 0, {{Move, kCentre}, {PressL, kCentre}, {ReleaseL, kCentre}}, false, +1, 1, 1},
        {"press in a corner", 0, {{PressL, kCorner}, {ReleaseL, kCorner}}, false, +1, 0, 0},
        {"drag out and release",
         0,
         {{Move, kCentre}, {PressL, kCentre}, {Move, kAway}, {ReleaseL, kAway}},
         false,
         +1,
         0,
         1},
        {"drag out and back",
         0,
         {{Move, kCentre}, {PressL, kCentre}, {Move, kAway}, {Move, kCentre}, {ReleaseL, kCentre}},
         false,
         +1,
         1,
         1},
        {"press in a corner, drag in",
         0,
         {{PressL, kCorner}, {Move, kCentre}, {ReleaseL, kCentre}},
         false,
         +1,
         1,
         0},
        {"right button",
         0,
         {{Move, kCentre}, {PressR, kCentre}, {ReleaseR, kCentre}},
         false,
         +1,
         0,
         1},
        {"right button released away",
         0,
         {{Move, kCentre}, {PressR, kCentre}, {Move, kAway}, {ReleaseR, kAway}},
         true,
         -1,
         0,
         1},
        {"toggle once",
         1,
         {{Move, kCentre}, {PressL, kCentre}, {ReleaseL, kCentre}},
         true,
         -1,
         1,
         1},
        {"toggle twice",
         1,
         {{Move, kCentre},
          {PressL, kCentre},
          {ReleaseL, kCentre},
          {PressL, kCentre},
          {ReleaseL, kCentre}},
         false,
         +1,
         2,
         2},
        {"toggle released away stays down",
         1,
         {{Move, kCentre}, {PressL, kCentre}, {Move, kAway}, {ReleaseL, kAway}},
         true,
         -1,
         0,
         1},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.b->SetGroupIndex(c.groupIndex);
        Play(f.b, c.events);
        EXPECT_EQ(f.b->Down(), c.down) << c.name;
        EXPECT_EQ(f.b->BevelState(), c.bevel) << c.name;
        EXPECT_EQ(f.n.clicks, c.clicks) << c.name;
        EXPECT_EQ(f.n.downs, c.downs) << c.name;
    }
}

TEST(OvalButton, DoubleClickReportsOnceAndItsReleaseNoClick) {
    Fixture f;
    Play(f.b, {{Move, kCentre}, {PressL, kCentre}, {ReleaseL, kCentre}});
    QMouseEvent dbl(QEvent::MouseButtonDblClick, kCentre, f.b->mapToGlobal(kCentre), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.b, &dbl);
    EXPECT_TRUE(f.b->Down());  // the second press sinks it again
    Play(f.b, {{ReleaseL, kCentre}});
    EXPECT_EQ(f.n.dbl, 1);
    EXPECT_EQ(f.n.clicks, 1);  // only the first release clicked
    EXPECT_EQ(f.n.downs, 2);
    EXPECT_FALSE(f.b->Down());
}

TEST(OvalButton, ClickComesBeforeTheRaisedRedraw) {
    Fixture f;
    bool sunkenAtClick = false;
    f.b->OnClick = [&](TOvalButton* b) { sunkenAtClick = b->BevelState() == -1 && b->Down(); };
    Play(f.b, {{Move, kCentre}, {PressL, kCentre}, {ReleaseL, kCentre}});
    EXPECT_TRUE(sunkenAtClick);
}

TEST(OvalButton, FlatHoverAndDisabled) {
    Fixture f;
    f.b->SetFlat(true);
    EXPECT_EQ(f.b->BevelState(), 0);
    Play(f.b, {{Move, kCentre}});
    EXPECT_EQ(f.b->BevelState(), +1);
    EXPECT_TRUE(f.b->MouseInside());
    EXPECT_EQ(f.n.moves, 1);
    Play(f.b, {{Move, kCorner}});
    EXPECT_EQ(f.b->BevelState(), 0);
    EXPECT_EQ(f.n.moves, 1);  // reported only while inside
    Play(f.b, {{Move, kCentre}});
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(f.b, &leave);  // the pointer leaves the rectangle
    EXPECT_EQ(f.b->BevelState(), 0);
    EXPECT_FALSE(f.b->MouseInside());
    f.b->SetDown(true);
    f.b->SetFlat(false);
    EXPECT_EQ(f.b->BevelState(), +1);  // raised look while Down stays
    EXPECT_TRUE(f.b->Down());

    Fixture g;
    g.b->setEnabled(false);
    Play(g.b, {{Move, kCentre}, {PressL, kCentre}, {ReleaseL, kCentre}});
    EXPECT_FALSE(g.b->Down());
    EXPECT_EQ(g.b->BevelState(), +1);
    EXPECT_EQ(g.n.clicks + g.n.downs, 0);
}

TEST(OvalButton, DisabledCaptionIsGreyWithTheApplicationsColours) {
    InstallSystemColours();  // the application's own table, not a test's
    QWidget parent;
    auto* b = new TOvalButton(&parent);
    b->setGeometry(0, 0, 120, 60);
    b->SetCaption(u"WWW"_s);
    b->setEnabled(false);
    parent.show();
    const QImage shot = b->grab().toImage();
    const QColor grey = Rgb(clGrayText);
    ASSERT_NE(grey, Rgb(clBtnFace));
    int greyPixels = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) greyPixels += shot.pixelColor(x, y) == grey;
    EXPECT_GT(greyPixels, 3);
    SetSystemColorResolver(nullptr);
}

TEST(OvalButton, DownOnOneToggleLeavesTheOther) {
    Fixture f;
    TOvalButton other(&f.parent);
    f.b->SetGroupIndex(1);
    other.SetGroupIndex(1);
    other.SetDown(true);
    f.b->SetDown(true);
    EXPECT_TRUE(other.Down());
    EXPECT_EQ(f.b->BevelState(), -1);
}

TEST(OvalButton, InEllipseAndAccelerators) {
    Grey grey;
    TOvalButton b;
    EXPECT_TRUE(b.InEllipse(50, 25));
    EXPECT_TRUE(b.InEllipse(1, 25));
    EXPECT_FALSE(b.InEllipse(2, 2));
    EXPECT_FALSE(b.InEllipse(100, 25));
    EXPECT_FALSE(b.InEllipse(50, 50));
    struct Case {
        char key;
        const char* caption;
        bool want;
    } cases[] = {{'c', "&Close", true}, {'C', "&close", true},  {'l', "&Close", false},
                 {'c', "Close", false}, {'x', "Close&", false}, {'l', "C&lose", true},
                 {'1', "&1", true}};
    for (const auto& c : cases)
        EXPECT_EQ(TOvalButton::IsAccelChar(QLatin1Char(c.key), QString::fromLatin1(c.caption)),
                  c.want)
            << c.caption;
    b.SetCaption(u"&Close"_s);
    int clicks = 0;
    b.OnClick = [&](TOvalButton*) { ++clicks; };
    EXPECT_TRUE(b.DialogChar(u'c'));
    EXPECT_EQ(clicks, 0);  // the pointer is not inside
    EXPECT_FALSE(b.DialogChar(u'x'));
}

TEST(OvalButton, BevelRingsOutlineAndPressedLook) {
    Grey grey;
    TOvalButton b;
    b.SetBevelWidth(2);
    b.Paint();
    const QImage& s = b.Surface();
    const int W = b.width(), H = b.height();
    EXPECT_EQ(s.pixelColor(0, H / 2), QColor(Qt::black));
    EXPECT_EQ(s.pixelColor(W / 2, 0), QColor(Qt::black));
    EXPECT_EQ(s.pixelColor(1, H / 2), Rgb(b.LightShade()));  // upper-left half, lit
    EXPECT_EQ(s.pixelColor(W / 2, 1), Rgb(b.LightShade()));
    EXPECT_EQ(s.pixelColor(W - 3, H / 2), Rgb(b.DarkShade()));  // lower-right half, shaded
    EXPECT_EQ(s.pixelColor(W / 2, H - 3), Rgb(b.DarkShade()));
    EXPECT_EQ(s.pixelColor(W / 2, H / 2), Rgb(clBtnFace));
    EXPECT_EQ(s.pixelColor(0, 0).alpha(), 0);  // nothing of its own outside the ellipse
    b.MouseDown(Qt::LeftButton, {}, W / 2, H / 2);
    EXPECT_EQ(s.pixelColor(1, H / 2), Rgb(b.DarkShade()));
    EXPECT_EQ(s.pixelColor(W - 3, H / 2), Rgb(b.LightShade()));
    b.MouseUp(Qt::LeftButton, {}, W / 2, H / 2);
    EXPECT_EQ(s.pixelColor(1, H / 2), Rgb(b.LightShade()));
    b.SetFlat(true);
    b.Paint();
    EXPECT_NE(b.Surface().pixelColor(0, H / 2), QColor(Qt::black));    // no outline
    EXPECT_NE(b.Surface().pixelColor(1, H / 2), Rgb(b.LightShade()));  // no rings
}

TEST(OvalButton, CaptionMovesOnePixelWhenPressed) {
    Grey grey;
    TOvalButton b;
    b.resize(64, 31);
    QFont bold(u"DejaVu Sans"_s, 8, QFont::Bold);
    bold.setPixelSize(11);
    b.SetFont(bold);
    b.SetCaption(u"Close"_s);
    const auto up = b.Layout_();
    const QFontMetrics fm(bold);
    EXPECT_EQ(up.caption,
              QPoint(half(64 - fm.horizontalAdvance(u"Close"_s)), half(31 - fm.height())));
    b.MouseDown(Qt::LeftButton, {}, 32, 15);
    EXPECT_EQ(b.Layout_().caption, up.caption + QPoint(1, 1));
}

QImage TwoCells() {
    // Two 8 x 8 cells: cell 0 red with a black (transparent) corner, cell 1 blue.
    QImage g(16, 8, QImage::Format_RGB32);
    g.fill(Qt::red);
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x) g.setPixelColor(x, y, Qt::blue);
    for (int y = 4; y < 8; ++y)
        for (int x = 0; x < 4; ++x) g.setPixelColor(x, y, Qt::black);
    return g;
}

TEST(OvalButton, GlyphCellsAndTransparentColour) {
    Grey grey;
    TOvalButton b;
    b.SetGlyph(TwoCells());
    EXPECT_EQ(b.TransparentColor(), RGBColor(0, 0, 0));  // bottom-left pixel
    b.Paint();
    EXPECT_EQ(b.Surface().pixelColor(50, 25), Rgb(clBtnFace));  // NumGlyphs 0: never drawn
    b.SetNumGlyphs(2);
    b.Paint();
    const auto f = b.Layout_();
    EXPECT_EQ(f.glyph, QRect(half(100 - 8), half(50 - 8), 8, 8));
    EXPECT_EQ(b.Surface().pixelColor(f.glyph.topLeft() + QPoint(6, 1)), QColor(Qt::red));
    EXPECT_EQ(b.Surface().pixelColor(f.glyph.topLeft() + QPoint(1, 6)),
              Rgb(clBtnFace));  // brush shows through
    b.setEnabled(false);
    EXPECT_EQ(b.Layout_().source.left(), 8);  // cell 1 when disabled
    b.Paint();
    EXPECT_EQ(b.Surface().pixelColor(b.Layout_().glyph.topLeft() + QPoint(6, 1)), QColor(Qt::blue));
}

TEST(OvalButton, GlyphGeometryForEachLayout) {
    Grey grey;
    TOvalButton b;
    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(Qt::green);
    b.SetGlyph(glyph);
    b.SetNumGlyphs(1);
    b.SetCaption(u"Go"_s);
    const QFontMetrics fm(b.Font());
    const int W = 100, H = 50, tw = fm.horizontalAdvance(u"Go"_s), th = fm.height(), gw = 16,
              gh = 16, sp = 4;
    struct Case {
        TButtonLayout layout;
        int margin;
        QPoint glyph, caption;
    } cases[] = {
        {blGlyphLeft,
         0,
         {half(W - (tw + sp + gw)), half(H - gh)},
         {half(W - (tw + sp + gw)) + gw + sp, half(H - th)}},
        {blGlyphLeft,
         3,
         {half(W - (tw + sp + gw)) - 3, half(H - gh)},
         {half(W - (tw + sp + gw)) - 3 + gw + sp, half(H - th)}},
        {blGlyphRight,
         2,
         {half(tw + sp + gw + W) - gw + 2, half(H - gh)},
         {half(tw + sp + gw + W) - gw + 2 - tw - sp, half(H - th)}},
        {blGlyphTop,
         1,
         {half(W - gw), half(H - (th + gh + sp)) - 1},
         {half(W - tw), half(H - (th + gh + sp)) - 1 + gh + sp}},
        {blGlyphBottom,
         0,
         {half(W - gw), half(th + gh + sp + H) - gh},
         {half(W - tw), half(th + gh + sp + H) - gh - th - sp}},
    };
    for (const auto& c : cases) {
        b.SetLayout(c.layout);
        b.SetMargin(c.margin);
        const auto f = b.Layout_();
        EXPECT_EQ(f.glyph.topLeft(), c.glyph) << c.layout << "/" << c.margin;
        EXPECT_EQ(f.caption, c.caption) << c.layout << "/" << c.margin;
    }
    // Pressed: the glyph moves one pixel, a caption beside it two.
    b.SetLayout(blGlyphLeft);
    b.SetMargin(0);
    const auto up = b.Layout_();
    b.SetDown(true);
    const auto down = b.Layout_();
    EXPECT_EQ(down.glyph.topLeft(), up.glyph.topLeft() + QPoint(1, 1));
    EXPECT_EQ(down.caption, up.caption + QPoint(2, 1));
    // Without a caption the glyph is centred whatever the layout.
    b.SetCaption(u""_s);
    b.SetDown(false);
    b.SetLayout(blGlyphRight);
    b.SetMargin(9);
    EXPECT_EQ(b.Layout_().glyph.topLeft(), QPoint(half(W - gw), half(H - gh)));
}

}  // namespace
}  // namespace vx::ui
