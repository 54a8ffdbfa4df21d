#include "ui/forms/InfoUnit.h"

#include <QFrame>
#include <QLabel>

#include "ui/art/art.h"
#include "ui/controls/FocusRing.h"
#include "ui/controls/OvalBtn.h"
#include "ui/controls/URLLabel.h"
#include "ui/platform/FormFont.h"

namespace vx::ui {

TInfoForm::TInfoForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("InfoForm"));
    setWindowTitle(QStringLiteral("About..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(329, 274);
    setModal(true);
    setFont(FormFont(QStringLiteral("Arial"), 12));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, 329, 236);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);

    Label7 = new QLabel(QStringLiteral("Vexorin - v1.0"), panel);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setGeometry(7, 10, 208, 30);
    Label7->setAlignment(Qt::AlignCenter);
    Label7->setWordWrap(true);
    Label7->setFont(FormFont(QStringLiteral("Arial"), 12, true));

    Image1 = new QLabel(panel);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("A magnifier over a bar chart"));
    Image1->setGeometry(11, 65, 150, 140);
    Image1->setScaledContents(true);
    Image1->setPixmap(art::AboutPicture());

    URLLabel2 = new TURLLabel(panel);
    URLLabel2->setObjectName(QStringLiteral("URLLabel2"));
    URLLabel2->SetURLType(utMailTo);
    QFont link = FormFont(QStringLiteral("MS Sans Serif"), 11);
    link.setUnderline(true);
    URLLabel2->setFont(link);
    URLLabel2->SetCaption(QString::fromLatin1(kSupportAddress));
    URLLabel2->move(198, 92);

    BitBtn3 = new TOvalButton(this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setGeometry(132, 241, 64, 31);
    BitBtn3->SetCaption(QStringLiteral("Close"));
    BitBtn3->SetFont(FormFont(QStringLiteral("MS Sans Serif"), 11, true));
    BitBtn3->SetBevelWidth(2);
    BitBtn3->setCursor(Qt::PointingHandCursor);
    BitBtn3->OnClick = [this](TOvalButton*) { BitBtn3Click(); };
    // Tab reaches Close, which has the focus when the box opens, and the
    // link; the ring shows which has it.
    QWidget::setTabOrder(BitBtn3, URLLabel2);
    BitBtn3->setFocus();
    new FocusRing(this);
}

void TInfoForm::BitBtn3Click() {
    done(3);
}

}  // namespace vx::ui
