#include "ui/Application.h"
#include "ui/controls/OvalBtn.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTest>
#include <functional>

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
    InstallSystemColors();  // the application's own table, not a test's
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

// The bounding box of pixels of one colour inside inner (ink of a caption,
// cells of a glyph).
QRect InkBox(const QImage& img, QColor colour, QRect inner) {
    QRect box;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            if (img.pixelColor(x, y) == colour) box |= QRect(x, y, 1, 1);
    return box;
}

// Face (192, 192, 192) and black captions, so ink is easy to tell.
struct Inked {
    Inked() {
        SetSystemColorResolver([](int index) {
            return index == static_cast<int>(SysColor::WindowText) ? RGBColor(0, 0, 0)
                   : index == static_cast<int>(SysColor::GrayText) ? RGBColor(128, 128, 128)
                                                                   : RGBColor(192, 192, 192);
        });
    }
    ~Inked() { SetSystemColorResolver(nullptr); }
};

QFont CloseFont() {
    QFont bold(u"DejaVu Sans"_s, 8, QFont::Bold);
    bold.setPixelSize(11);
    return bold;
}

TEST(OvalButton, CaptionMovesOnePixelWhenPressed) {
    Inked inked;
    TOvalButton b;
    b.resize(64, 31);
    b.SetFlat(true);  // no black outline: the only ink is the caption's
    b.SetFont(CloseFont());
    b.SetCaption(u"Close"_s);
    const QRect inner = b.rect();
    b.Paint();
    const QRect up = InkBox(b.Surface(), Qt::black, inner);
    ASSERT_FALSE(up.isEmpty());
    // Centred: the ink sits in the middle give or take the font's bearings.
    EXPECT_LE(std::abs(up.center().x() - 32), 2);
    EXPECT_LE(std::abs(up.center().y() - 15), 2);
    b.MouseDown(Qt::LeftButton, {}, 32, 15);
    b.Paint();
    EXPECT_EQ(InkBox(b.Surface(), Qt::black, inner), up.translated(1, 1));
}

// A press and a release drawn in place on the present picture give exactly
// the picture a full repaint gives.
TEST(OvalButton, InPlaceRedrawsEqualFullRepaints) {
    Inked inked;
    QImage glyph(12, 12, QImage::Format_RGB32);
    glyph.fill(Qt::green);
    struct Case {
        const char* name;
        QString caption;
        bool withGlyph;
        QSize size;
    } cases[] = {
        {"About's Close", u"&Close"_s, false, {64, 31}},
        {"wide caption", u"Start the run"_s, false, {120, 40}},
        {"caption beside a glyph", u"Go"_s, true, {100, 50}},
    };
    for (const auto& c : cases) {
        QWidget parent;
        auto* b = new TOvalButton(&parent);
        b->resize(c.size);
        b->SetFont(CloseFont());
        b->SetCaption(c.caption);
        if (c.withGlyph) {
            b->SetGlyph(glyph);
            b->SetNumGlyphs(1);
            b->SetLayout(blGlyphLeft);
        }
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
        b->grab();  // the present picture, painted in full
        const QPoint centre = b->rect().center();
        for (const bool press : {true, false}) {
            if (press)
                b->MouseDown(Qt::LeftButton, {}, centre.x(), centre.y());
            else
                b->MouseUp(Qt::LeftButton, {}, centre.x(), centre.y());
            const QImage inPlace = b->Surface().copy();
            b->Paint();
            EXPECT_EQ(inPlace, b->Surface()) << c.name << (press ? ": pressed" : ": released");
        }
    }
}

// At the screen's pixel ratio (the suite runs once more at 2): the button
// is drawn at device pixels, sharp beside the text, pressed and released.
TEST(OvalButton, FacesAtTheScreensRatio) {
    Inked inked;
    QWidget parent;
    auto* b = new TOvalButton(&parent);
    b->resize(64, 31);
    b->SetFont(CloseFont());
    b->SetCaption(u"&Close"_s);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const qreal dpr = b->devicePixelRatioF();
    for (const bool press : {true, false}) {
        if (press)
            b->MouseDown(Qt::LeftButton, {}, 32, 15);
        else
            b->MouseUp(Qt::LeftButton, {}, 32, 15);
        const QImage face = b->grab().toImage();
        ASSERT_EQ(face.size(), (QSizeF(64, 31) * dpr).toSize());
        EXPECT_EQ(b->Surface().devicePixelRatio(), dpr);
        if (dpr < 2) continue;
        // A face drawn at 1x and scaled would be made of uniform 2 x 2 blocks.
        int mixedBlocks = 0;
        for (int y = 0; y + 1 < face.height(); y += 2)
            for (int x = 0; x + 1 < face.width(); x += 2) {
                const QRgb p = face.pixel(x, y);
                mixedBlocks += face.pixel(x + 1, y) != p || face.pixel(x, y + 1) != p ||
                               face.pixel(x + 1, y + 1) != p;
            }
        EXPECT_GT(mixedBlocks, 20) << (press ? "pressed" : "released");
        // The outline too, not only the text: drawn at 1x and scaled, its
        // left end steps two device pixels at a time; at device pixels it
        // follows the curve one pixel at a time.
        auto leftEdge = [&face](int y) {
            for (int x = 0; x < face.width(); ++x)
                if (qGray(face.pixel(x, y)) < 80) return x;  // the black outline
            return -1;
        };
        int fineSteps = 0;
        for (int y = 0; y + 1 < face.height(); ++y)
            fineSteps += std::abs(leftEdge(y) - leftEdge(y + 1)) == 1;
        EXPECT_GT(fineSteps, 4) << (press ? "pressed" : "released");
    }
}

// A setter called from OnClick shows its effect once the press has ended,
// although the release redraws in place.
TEST(OvalButton, SettersCalledFromOnClickShowAfterThePress) {
    Grey grey;
    auto render = [](std::function<void(TOvalButton*)> setUp, bool clickToChange) {
        QWidget parent;
        auto* b = new TOvalButton(&parent);
        b->resize(120, 40);
        b->SetCaption(u"Start the run"_s);
        setUp(b);
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
        b->grab();
        if (clickToChange) {
            vx::testing::PointerTo(b, b->rect().center());
            QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
        }
        return b->grab().toImage();
    };
    const auto toStop = [](TOvalButton* b) { b->SetCaption(u"Stop"_s); };
    const auto toRed = [](TOvalButton* b) { b->SetColor(RGBColor(255, 0, 0)); };
    for (const auto& change :
         {std::function<void(TOvalButton*)>(toStop), std::function<void(TOvalButton*)>(toRed)}) {
        const QImage clicked = render([&](TOvalButton* b) { b->OnClick = change; }, true);
        const QImage direct = render(change, false);
        EXPECT_EQ(clicked, direct);
    }
    // A press right after a resize shows the whole button, not rings alone.
    QWidget parent;
    auto* b = new TOvalButton(&parent);
    b->SetCaption(u"Go"_s);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    b->grab();
    b->resize(140, 60);
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(70, 30));
    const QImage pressed = b->grab().toImage();
    EXPECT_EQ(pressed.pixelColor(70, 10), QColor(192, 192, 192));  // the face is filled
}

TEST(OvalButton, AMultiLineEditorKeepsItsKeys) {
    QWidget window;
    auto* editor = new QPlainTextEdit(&window);
    auto* b = new TOvalButton(&window);
    b->move(0, 100);
    b->SetCaption(u"&Close"_s);
    int clicks = 0;
    b->OnClick = [&](TOvalButton*) { ++clicks; };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    editor->setFocus();
    QTest::keyClicks(editor, u"cc"_s);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(editor->toPlainText(), u"cc"_s);
    window.setFocus();  // no editor: the accelerator works
    QTest::keyClick(&window, Qt::Key_C);
    EXPECT_EQ(clicks, 0);  // the pointer is not over it: Click asks for that
    EXPECT_TRUE(b->DialogChar(u'c'));
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

TEST(OvalButton, GlyphCellsAndTransparentColor) {
    Grey grey;
    TOvalButton b;
    b.SetGlyph(TwoCells());
    EXPECT_EQ(b.TransparentColor(), RGBColor(0, 0, 0));  // bottom-left pixel
    b.Paint();
    EXPECT_EQ(b.Surface().pixelColor(50, 25), Rgb(clBtnFace));  // NumGlyphs 0: never drawn
    b.SetNumGlyphs(2);
    b.Paint();
    const auto f = b.CurrentLayout();
    EXPECT_EQ(f.glyph, QRect(HalfDown(100 - 8), HalfDown(50 - 8), 8, 8));
    EXPECT_EQ(b.Surface().pixelColor(f.glyph.topLeft() + QPoint(6, 1)), QColor(Qt::red));
    EXPECT_EQ(b.Surface().pixelColor(f.glyph.topLeft() + QPoint(1, 6)),
              Rgb(clBtnFace));  // brush shows through
    b.setEnabled(false);
    EXPECT_EQ(b.CurrentLayout().source.left(), 8);  // cell 1 when disabled
    b.Paint();
    EXPECT_EQ(b.Surface().pixelColor(b.CurrentLayout().glyph.topLeft() + QPoint(6, 1)),
              QColor(Qt::blue));
}

TEST(OvalButton, GlyphAndCaptionPlacesForEachLayout) {
    Inked inked;
    TOvalButton b;
    b.resize(100, 50);
    b.SetFlat(true);
    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(Qt::green);
    b.SetGlyph(glyph);
    b.SetTransparentColor(RGBColor(1, 2, 3));  // nothing of the glyph is see-through
    b.SetNumGlyphs(1);
    b.SetCaption(u"Go"_s);
    const QRect inner = b.rect();
    auto boxes = [&] {
        b.Paint();
        return std::pair{InkBox(b.Surface(), Qt::green, b.rect()),
                         InkBox(b.Surface(), Qt::black, inner)};
    };
    const int sp = 4;
    for (const TButtonLayout layout : {blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom}) {
        b.SetLayout(layout);
        b.SetMargin(0);
        const auto [g, t] = boxes();
        ASSERT_EQ(g.size(), QSize(16, 16)) << layout;
        ASSERT_FALSE(t.isEmpty()) << layout;
        switch (layout) {
            case blGlyphLeft:
                EXPECT_GE(t.left() - g.right() - 1, sp - 1) << "caption right of the glyph";
                break;
            case blGlyphRight:
                EXPECT_GE(g.left() - t.right() - 1, sp - 1) << "caption left of the glyph";
                break;
            case blGlyphTop:
                EXPECT_GE(t.top() - g.bottom() - 1, sp - 1) << "caption below the glyph";
                break;
            case blGlyphBottom:
                EXPECT_GE(g.top() - t.bottom() - 1, sp - 1) << "caption above the glyph";
                break;
        }
        // The margin moves the glyph away from the centre by its width.
        b.SetMargin(3);
        const QRect moved = boxes().first;
        const QPoint shift = moved.topLeft() - g.topLeft();
        const QPoint want = layout == blGlyphLeft    ? QPoint(-3, 0)
                            : layout == blGlyphRight ? QPoint(3, 0)
                            : layout == blGlyphTop   ? QPoint(0, -3)
                                                     : QPoint(0, 3);
        EXPECT_EQ(shift, want) << layout;
    }
    // Pressed: the glyph moves one pixel, a caption beside it two.
    b.SetLayout(blGlyphLeft);
    b.SetMargin(0);
    const auto [g, t] = boxes();
    b.SetDown(true);
    const auto [gd, td] = boxes();
    EXPECT_EQ(gd.topLeft(), g.topLeft() + QPoint(1, 1));
    EXPECT_EQ(td.topLeft(), t.topLeft() + QPoint(2, 1));
    // Without a caption the glyph is centred whatever the layout.
    b.SetCaption(u""_s);
    b.SetDown(false);
    b.SetLayout(blGlyphRight);
    b.SetMargin(9);
    EXPECT_EQ(boxes().first.topLeft(), QPoint(HalfDown(100 - 16), HalfDown(50 - 16)));
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// A press and a release each reach the screen: the face drawn in place is
// followed by a repaint (grab() paints on demand and would not notice).
TEST(OvalButton, PressAndReleaseSchedulePaints) {
    QWidget parent;
    auto* b = new TOvalButton(&parent);
    b->resize(64, 31);
    b->SetCaption(u"&Close"_s);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    b->installEventFilter(&counter);
    QCoreApplication::processEvents();
    for (const bool press : {true, false}) {
        const int before = counter.paints;
        if (press)
            b->MouseDown(Qt::LeftButton, {}, 32, 15);
        else
            b->MouseUp(Qt::LeftButton, {}, 32, 15);
        QTest::qWait(20);
        EXPECT_GT(counter.paints, before) << (press ? "press" : "release");
    }
}

}  // namespace
}  // namespace vx::ui
