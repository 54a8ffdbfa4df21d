#include <csignal>

#include "app/single_instance.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    // Before anything else: a second copy ends at once and shows nothing.
    vx::SingleInstance instance;
    if (instance.FindRunningInstance()) return 0;
    // Past a file-size limit a save fails with EFBIG and says so, instead of
    // the signal ending the program with the user's results.
    std::signal(SIGXFSZ, SIG_IGN);
    return vx::ui::RunApplication(argc, argv, vx::SingleInstance::SocketPath());
}
