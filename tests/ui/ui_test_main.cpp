// GUI tests run on the offscreen platform, with a settings store and a
// runtime directory of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "ui/platform.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char tmpl[] = "/tmp/vexorin-ui-test-XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    ::setenv("XDG_CONFIG_HOME", dir, 1);
    ::setenv("XDG_RUNTIME_DIR", dir, 1);
    QApplication app(argc, argv);
    vx::ui::EscapeKey::Instance();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
