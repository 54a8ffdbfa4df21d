#include "app/single_instance.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    // Before anything else: a second copy ends at once and shows nothing.
    vx::SingleInstance instance;
    if (instance.FindRunningInstance()) return 0;
    return vx::ui::RunApplication(argc, argv);
}
