// The single-instance rule with the window: a second copy brings the first
// forward, and an unsafe folder holds no lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "app/single_instance.h"
#include "support/scoped_env.h"
#include "ui/platform/RaiseListener.h"
#include "ui/ui_window.h"

namespace vx::ui {
namespace {

// A second copy finds the first through the lock and asks it, through the
// socket beside the lock, to bring its window forward.
TEST(Desktop, ASecondCopyBringsTheFirstForward) {
    TempDir dir;
    ::chmod(dir.path().c_str(), 0700);
    vx::testing::ScopedEnv instanceDir("VEXORIN_INSTANCE_DIR", dir.path());
    {
        SingleInstance first;
        ASSERT_FALSE(first.FindRunningInstance());
        Window k;
        k.w.showMinimized();
        int raised = 0;
        RaiseListener listener(SingleInstance::SocketPath(), [&] {
            ++raised;
            k.w.showNormal();
        });
        ASSERT_TRUE(listener.Listening());
        SingleInstance second;
        EXPECT_TRUE(second.FindRunningInstance());
        for (int i = 0; i < 100 && raised == 0; ++i) QTest::qWait(10);
        EXPECT_EQ(raised, 1);
        EXPECT_FALSE(k.w.isMinimized());
    }
    // A folder others may read or enter is no place for the lock: no copy
    // takes it there, and none is stopped by it.
    const std::string lock = dir.File("vexorin-" + std::to_string(::getuid()) + ".lock");
    ::unlink(lock.c_str());
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(SingleInstance::LockPath(), "");
    SingleInstance open;
    EXPECT_FALSE(open.FindRunningInstance());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(lock)));
    ::chmod(dir.path().c_str(), 0700);
}

}  // namespace
}  // namespace vx::ui
