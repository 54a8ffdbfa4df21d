#include "ui/Application.h"

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QLockFile>
#include <QScreen>
#include <QStandardPaths>

#include "core/rrColors.h"
#include "ui/InfoUnit.h"
#include "ui/StartUnit.h"
#include "ui/Unit1.h"

namespace vx::ui {

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

QString SingleInstance::LockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return dir + QStringLiteral("/vexorin-%1.lock").arg(::getuid());
}

bool SingleInstance::FindRunningInstance() {
    try {
        lock_ = std::make_unique<QLockFile>(LockPath());
        lock_->setStaleLockTime(0);  // a dead holder's lock is stale at once
        if (lock_->tryLock(0)) return false;
        return lock_->error() == QLockFile::LockFailedError;
    } catch (...) {
        return false;  // a failing check counts as no running copy
    }
}

namespace {
QColor PaletteColour(SysColor id) {
    const QPalette pal = QApplication::palette();
    switch (id) {
        case SysColor::Window:
            return pal.color(QPalette::Window);
        case SysColor::WindowText:
            return pal.color(QPalette::WindowText);
        case SysColor::BtnFace:
            return pal.color(QPalette::Button);
        case SysColor::BtnShadow:
            return pal.color(QPalette::Dark);
        case SysColor::GrayText:
            return pal.color(QPalette::Disabled, QPalette::WindowText);
        case SysColor::BtnText:
            return pal.color(QPalette::ButtonText);
        case SysColor::BtnHighlight:
            return pal.color(QPalette::Light);
    }
    return pal.color(QPalette::Button);
}
}  // namespace

void InstallSystemColours() {
    // Each index through the one table, then the palette's colour for it.
    SetSystemColorResolver([](int index) {
        const QColor c = PaletteColour(SystemColorEntryFor(index).id);
        return RGBColor(c.red(), c.green(), c.blue());
    });
}

Forms::Forms(char decimalSeparator, const std::string& settingsPath) : store(settingsPath) {
    InstallSystemColours();
    Form1 = std::make_unique<TForm1>(stop, decimalSeparator);
    StartForm = std::make_unique<TStartForm>(stop, pump, store, Form1.get());
    InfoForm = std::make_unique<TInfoForm>(Form1.get());
    Form1->SetStartForm(StartForm.get());
    Form1->SetAboutBox([this] { InfoForm->exec(); });
}

Forms::~Forms() {
    InfoForm.reset();
    StartForm.reset();
    Form1.reset();
}

char LocaleDecimalSeparator() {
    const QString p = QLocale().decimalPoint();
    return p.size() == 1 && p[0].unicode() < 128 ? static_cast<char>(p[0].unicode()) : '.';
}

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexorin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vexorin"));
    SingleInstance instance;
    if (instance.FindRunningInstance()) return 0;
    EscapeKey::Instance();
    Forms forms(LocaleDecimalSeparator());
    TForm1& main = *forms.Form1;
    main.adjustSize();
    if (QScreen* screen = QApplication::primaryScreen())
        main.move(screen->availableGeometry().center() - main.rect().center());
    main.show();
    app.exec();
    return 0;
}

}  // namespace vx::ui
