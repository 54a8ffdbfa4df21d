// Preferences: where the two services are, how long a fetch may take, and
// how rows are looked up. Kept in the settings store; a value the environment
// sets wins, and the window says so beside it.
#pragma once

#include <QDialog>
#include <memory>
#include <thread>

#include "net/http_client.h"
#include "results/preferences.h"
#include "secrets/secret_store.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vx {
class CancelSignal;
class SettingsStore;
}  // namespace vx

namespace vx::ui {

// The preferences' bounds, with the environment's where it sets them.
NetLimits NetLimitsFor(const Preferences& preferences);

class TPreferencesForm : public QDialog {
    Q_OBJECT
  public:
    explicit TPreferencesForm(SettingsStore& store, QWidget* parent = nullptr);
    ~TPreferencesForm() override;

    // The fields as they stand.
    Preferences Values() const;
    void SetValues(const Preferences& p);
    // Saved on OK.
    void accept() override;
    // Fetches each service's root once, off the GUI thread, and shows the
    // time it took or why it failed.
    void TestServices();
    // Asks first; then every recorded run is gone.
    void ClearHistory();
    // Reaches the shared history named (reading only) and says how it went.
    void TestHistory();
    // Keeps the chosen secret's typed value in the keyring (never in the
    // settings store); the field is emptied either way.
    void KeepSecret();

  private:
    QLineEdit* HostEdit(const char* name);
    QSpinBox* NumberField(const char* name, const char* caption, int lowest, int highest);
    void CheckHosts();
    QComboBox* ProfileCombo(const char* name, bool suggests);
    // Whether the chosen profiles can be used, and the secrets they need.
    void CheckServices();
    // The servers a secret kept now is bound to: the chosen profiles' that
    // send it, or the shared history's for its password.
    std::string ServersOf(const std::string& secret) const;

    SettingsStore& store_;
    QLineEdit* suggest_;
    QLineEdit* search_;
    QLabel* suggestProblem_;
    QLabel* searchProblem_;
    QComboBox* historyWhere_;
    QLineEdit* historyUrl_;
    QLabel* historyWhereResult_;
    QComboBox* suggestProfile_;
    QComboBox* searchProfile_;
    QLabel* servicesNote_;
    QComboBox* secretName_;
    QLineEdit* secretValue_;
    QLabel* secretResult_;
    // The keyring asked once a secret for the dialog's life: some keyrings
    // prompt on every look-up, and the services are checked on every key.
    SecretCache secrets_;
    quint64 historyTest_ = 0;  // the latest Test history; an older one's answer is dropped
    QSpinBox* connect_;
    QSpinBox* silence_;
    QSpinBox* fetch_;
    QSpinBox* parallel_;
    QSpinBox* retries_;
    QSpinBox* movePlaces_;
    QPushButton* ok_;
    QCheckBox* keepHistory_;
    QLineEdit* caFile_;
    QLabel* historyResult_;
    QLabel* testResult_;
    std::shared_ptr<CancelSignal> testCancel_;
    // The Test's fetches; cancelled and joined before the form goes, so it
    // never posts to a form or an application that is gone.
    std::thread testThread_;
};

}  // namespace vx::ui
