#include "ui/URLLabel.h"

#include <gtest/gtest.h>

#include <QBitmap>
#include <QEnterEvent>
#include <QTest>

#include "ui/platform.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

TEST(URLLabel, TargetPrefixRules) {
    struct Case {
        TURLType type;
        const char *caption, *target;
    } cases[] = {
        {utHTTP, "www.Example.com", "http://www.Example.com"},
        {utHTTP, "HTTP://Example.com", "HTTP://Example.com"},
        {utHTTP, "see http://x.com", "see http://x.com"},
        {utFTP, "files.example.com", "ftp://files.example.com"},
        {utFTP, "FTP://files", "FTP://files"},
        {utMailTo, "me@example.com", "mailto:me@example.com"},
        {utMailTo, "mailto:me@example.com", "mailto:me@example.com"},
        {utMailTo, "http://example.com", "mailto:http://example.com"},
        {utHTTP, "", "http://"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TURLLabel::Target(c.type, QString::fromUtf8(c.caption)),
                  QString::fromUtf8(c.target))
            << c.caption;
}

TEST(URLLabel, LooksClicksAndCursor) {
    QWidget parent;
    TURLLabel label(&parent);
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.text(), QString::fromLatin1(TURLLabel::kDefaultLink));
    label.SetURLType(utMailTo);
    label.setText(u"support@vexorin.example"_s);
    label.adjustSize();
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&label, &leave);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 0));

    QString opened;
    Shell::ScopedHandler shell([&](const QString& t) {
        opened = t;
        return true;
    });
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(opened, u"mailto:support@vexorin.example"_s);

    const QCursor c = label.cursor();
    EXPECT_EQ(c.shape(), Qt::BitmapCursor);
    EXPECT_EQ(c.hotSpot(), QPoint(5, 0));
    EXPECT_EQ(c.bitmap().size(), QSize(32, 32));
    EXPECT_EQ(Cursors::Get(crURLCursor).hotSpot(), QPoint(5, 0));
}

}  // namespace
}  // namespace vx::ui
