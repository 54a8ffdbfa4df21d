// The About box: product name and version, a picture, a mail link, Close.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vx::ui {

class TInfoForm : public QDialog {
    Q_OBJECT
  public:
    explicit TInfoForm(QWidget* parent = nullptr);
    void BitBtn3Click();

    QLabel* Label7;
    QPushButton* BitBtn3;

    static constexpr const char* kSupportAddress = "support@vexorin.example";
};

}  // namespace vx::ui
