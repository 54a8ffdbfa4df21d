// Tools > Tracking: the tracking projects, each term's latest rank, its
// change, its best and its last checks; terms added, removed and paused;
// Check now; and the switch of the hourly systemd user timer.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "history/project_store.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSocketNotifier;
class QTableView;

namespace vx {
class DesktopNotifier;
class SettingsStore;
}  // namespace vx

namespace vx::ui {

class TrackCheck;
class TrackingModel;

class TTrackingForm : public QWidget {
    Q_OBJECT
  public:
    TTrackingForm(std::string historyPath, SettingsStore* settings, QWidget* parent = nullptr);
    ~TTrackingForm() override;

    // Reads the projects again, keeping the one chosen.
    void Refresh();
    // Preferences moved the history: the projects follow at once.
    void SetHistoryPath(std::string path);
    void ChooseProject(const QString& name);
    QString ChosenProject() const;
    TrackingModel& Model() const { return *model_; }
    QTableView* Terms() const { return terms_; }
    QLabel* Status() const { return status_; }
    bool Checking() const;

    void AddTyped();
    void RemoveChosen();
    void PauseChosen();
    void CheckNow();
    void SetAutomatic(bool on);
    // The timer's state in words, and whether the switch can be used.
    void ShowSchedule();
    // One desktop notification whose "Open" brings this window up; false
    // when none could be shown.
    bool Notify(const QString& summary, const QString& body);

  signals:
    // A check ended (the status says how).
    void CheckEnded();

  private:
    std::optional<TrackingProject> Project() const;
    void ShowTerms();
    std::string historyPath_;
    SettingsStore* settings_;
    QListWidget* projects_;
    QTableView* terms_;
    TrackingModel* model_;
    QLineEdit* newTerms_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* pause_;
    QPushButton* checkNow_;
    QCheckBox* automatic_;
    QLabel* schedule_;
    QLabel* status_;
    TrackCheck* check_;
    std::unique_ptr<DesktopNotifier> notifier_;
    QSocketNotifier* notifierWatch_ = nullptr;
};

}  // namespace vx::ui
