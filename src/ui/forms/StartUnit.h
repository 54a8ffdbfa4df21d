// The Investigate dialog: seed keyword, target site, result pages to search
// and number of results. Created once, hidden between uses; its entries are
// loaded from the settings store at creation and saved on every close.
#pragma once

#include <QDialog>
#include <QLineEdit>

#include "engine/host.h"
#include "results/settings_store.h"
#include "ui/controls/SpinEdit.h"

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class QFrame;
class QGroupBox;

namespace vx::ui {

class TStartForm : public QDialog, public InvestigateInputs {
    Q_OBJECT
  public:
    TStartForm(StopFlag& stop, EventPump& pump, SettingsStore& store, QWidget* parent = nullptr);

    // InvestigateInputs, read by the run for every row.
    std::string TargetSite() override;
    std::string PageDepthText() override;
    int ResultCount() override;

    std::string Keyword() const;
    DialogEntries Entries() const;
    void SetEntries(const DialogEntries& e);

    // Asks only for the site and depth of a list's research ("Research 25
    // terms from list.txt"), or with an empty text for a seed's again.
    void ForList(const QString& what);

    void BitBtn1Click();  // Investigate
    void BitBtn2Click();  // Cancel

    QLineEdit* LabeledEdit1;
    QLineEdit* HomepageEdit;
    QComboBox* DepthCombo;
    TSpinEdit* MaxResultsSpinEdit;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

  public slots:
    void done(int result) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    void FormCreate();
    void FormCloseQuery();

    QList<QWidget*> tabCycle_;
    QList<QWidget*> seedOnly_;  // hidden while a list is researched
    QLabel* listNote_ = nullptr;
    StopFlag& stop_;
    EventPump& pump_;
    SettingsStore& store_;
};

}  // namespace vx::ui
