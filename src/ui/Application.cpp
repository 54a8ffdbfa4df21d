#include "ui/Application.h"

#include "secrets/secret_store.h"

#include "ui/platform/RaiseListener.h"

#include <QApplication>
#include <QLocale>
#include <QScreen>

#include "core/rrColors.h"
#include "ui/forms/InfoUnit.h"
#include "ui/forms/StartUnit.h"
#include "ui/forms/Unit1.h"
#include "ui/platform/EscapeKey.h"

namespace vx::ui {

namespace {
QColor PaletteColor(SysColor id) {
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

void InstallSystemColors() {
    // Each index through the one table, then the palette's colour for it.
    SetSystemColorResolver([](int index) {
        const QColor c = PaletteColor(SystemColorEntryFor(index).id);
        return RGBColor(c.red(), c.green(), c.blue());
    });
}

Forms::Forms(char decimalSeparator, const std::string& settingsPath) : store(settingsPath) {
    InstallSystemColors();
    Form1 = std::make_unique<TForm1>(stop, decimalSeparator);
    StartForm = std::make_unique<TStartForm>(stop, pump, store, Form1.get());
    InfoForm = std::make_unique<TInfoForm>(Form1.get());
    Form1->SetStartForm(StartForm.get());
    Form1->SetSettingsStore(&store);
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

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/vexorin.png").arg(size));
    return icon;
}

int RunApplication(int argc, char** argv, const std::string& raiseSocket) {
    // Before Qt starts any thread: no program the window starts inherits them.
    KeepSecretsFromChildren();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexorin"));
    // No display name: the desktop would append it to every dialog's title.
    QApplication::setDesktopFileName(QStringLiteral("vexorin"));
    QApplication::setWindowIcon(AppIcon());
    EscapeKey::Instance();
    Forms forms(LocaleDecimalSeparator());
    TForm1& main = *forms.Form1;
    main.adjustSize();
    if (QScreen* screen = QApplication::primaryScreen())
        main.move(screen->availableGeometry().center() - main.rect().center());
    main.show();
    // A second copy started meanwhile brings this window forward.
    RaiseListener listener(raiseSocket, [&main] {
        main.showNormal();
        main.raise();
        main.activateWindow();
    });
    app.exec();
    return 0;
}

}  // namespace vx::ui
