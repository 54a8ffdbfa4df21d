#include "ui/Application.h"

int main(int argc, char** argv) {
    return vx::ui::RunApplication(argc, argv);
}
