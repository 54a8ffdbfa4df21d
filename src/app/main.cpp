#include <csignal>

#include "app/single_instance.h"
#include "core/program_info.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    if (vx::AnswerVersionOrHelp(argc, argv, "vexorin", "usage: vexorin\n",
                                "Keyword research: demand, competition and rank of search "
                                "terms.\n"))
        return 0;
    // Before anything else: a second copy ends at once and shows nothing.
    vx::SingleInstance instance;
    if (instance.FindRunningInstance()) return 0;
    // Past a file-size limit a save fails with EFBIG and says so, instead of
    // the signal ending the program with the user's results.
    std::signal(SIGXFSZ, SIG_IGN);
    return vx::ui::RunApplication(argc, argv, vx::SingleInstance::SocketPath());
}
