// GUI tests run on the offscreen platform, with a settings store and a
// runtime directory of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "ui/platform/EscapeKey.h"
#include "ui/platform/Prompts.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char tmpl[] = "/tmp/vexorin-ui-test-XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    ::setenv("XDG_CONFIG_HOME", dir, 1);
    ::setenv("XDG_RUNTIME_DIR", dir, 1);
    ::setenv("XDG_DATA_HOME", dir, 1);
    // Hostile-server tests must not wait the desktop's full bounds.
    ::setenv("VEXORIN_NET_SILENCE_MS", "800", 1);
    ::setenv("VEXORIN_NET_FETCH_MS", "3000", 1);
    // The shipped defaults (4 rows at once, 2 retries): the tests about one
    // row at a time set their own.
    ::unsetenv("VEXORIN_PARALLEL");
    ::unsetenv("VEXORIN_RETRIES");
    QApplication app(argc, argv);
    vx::ui::EscapeKey::Instance();
    // Tests that are about the save question arm their answer; the others
    // discard, as they did before there was one, and never wait on a window.
    vx::ui::Prompts::SetUnarmedAnswer(vx::ui::Prompts::Answer::Discard);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
