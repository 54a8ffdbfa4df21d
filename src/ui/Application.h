// Start-up: the single-instance check, then the three forms in order.
#pragma once

#include <QString>
#include <memory>

#include "engine/host.h"
#include "results/settings_store.h"
#include "ui/platform.h"

class QLockFile;

namespace vx::ui {

class TForm1;
class TStartForm;
class TInfoForm;

// A per-user lock in the runtime directory stands for the running copy; a
// lock left by a crashed copy is taken over.
class SingleInstance {
  public:
    SingleInstance();
    ~SingleInstance();
    // True when another copy of this user's program holds the lock.
    bool FindRunningInstance();
    static QString LockPath();

  private:
    std::unique_ptr<QLockFile> lock_;
};

// The three forms, created hidden in order: main window, Investigate dialog,
// About box.
struct Forms {
    explicit Forms(char decimalSeparator,
                   const std::string& settingsPath = SettingsStore::DefaultPath());
    ~Forms();
    StopFlag stop;
    QtEventPump pump;
    SettingsStore store;
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TStartForm> StartForm;
    std::unique_ptr<TInfoForm> InfoForm;
};

char LocaleDecimalSeparator();

// System colours from the application palette, through the one table.
void InstallSystemColours();

// The program: title, single instance, forms, event loop. Returns 0.
int RunApplication(int argc, char** argv);

}  // namespace vx::ui
