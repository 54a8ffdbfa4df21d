// --version and --help as GNU programs answer them: on stdout, exit 0, the
// version from the project's one number (the build's VEXORIN_VERSION).
#pragma once

#include <cstdio>
#include <cstring>

namespace vx {

inline constexpr const char* kVersion = VEXORIN_VERSION;

// True when the only argument was --version or --help, which is then
// answered: "name 1.0", or usage followed by help.
inline bool AnswerVersionOrHelp(int argc, char** argv, const char* name, const char* usage,
                                const char* help = "") {
    if (argc != 2) return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", name, kVersion);
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        std::fputs(help, stdout);
        return true;
    }
    return false;
}

}  // namespace vx
