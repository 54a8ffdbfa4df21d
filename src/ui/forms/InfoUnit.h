// The About box: product name and version, a picture, a mail link and the
// oval Close button.
#pragma once

#include <QDialog>

class QLabel;

namespace vx::ui {

class TOvalButton;
class TURLLabel;

class TInfoForm : public QDialog {
    Q_OBJECT
  public:
    explicit TInfoForm(QWidget* parent = nullptr);
    void BitBtn3Click();

    QLabel* Label7;
    QLabel* Image1;
    TURLLabel* URLLabel2;
    TOvalButton* BitBtn3;

    static constexpr const char* kSupportAddress = "help@vexorin.test";
};

}  // namespace vx::ui
