// Start-up: the three forms in order, then the event loop. The single-
// instance check runs before this, in the program entry.
#pragma once

#include <string>

#include <QIcon>
#include <QString>
#include <memory>

#include "engine/host.h"
#include "results/settings_store.h"
#include "ui/platform/QtEventPump.h"

namespace vx::ui {

class TForm1;
class TStartForm;
class TInfoForm;

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

// The application's icon, 16 to 256 pixels.
QIcon AppIcon();

// System colours from the application palette, through the one table.
void InstallSystemColors();

// The program: the application, the forms and the event loop; the single-
// instance check ran before, in the program entry. Returns 0.
// Runs the program; a second copy's "raise" on raiseSocket (when not empty)
// brings the main window forward.
int RunApplication(int argc, char** argv, const std::string& raiseSocket = {});

}  // namespace vx::ui
