#include "ui/InfoUnit.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ui/platform.h"

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
    BitBtn3 = new QPushButton(QStringLiteral("Close"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setGeometry(132, 241, 64, 31);
    BitBtn3->setAutoDefault(false);
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
}

void TInfoForm::BitBtn3Click() {
    done(3);
}

}  // namespace vx::ui
