// Prints exactly the bytes FetchPage returns for a URL; nothing else.
#include <cstdio>
#include <string>

#include "core/program_info.h"
#include "net/http_client.h"

int main(int argc, char** argv) {
    constexpr const char* kUsage = "usage: vexorin-fetch URL\n";
    if (vx::AnswerVersionOrHelp(argc, argv, "vexorin-fetch", kUsage,
                                "Prints the body a fetch of URL gives (http:// or https://), "
                                "nothing else.\n"))
        return 0;
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string body = vx::FetchPage(argv[1]);
    std::fwrite(body.data(), 1, body.size(), stdout);
    return 0;
}
