// Prints exactly the body bytes a fetch of a URL gives; a failed fetch also
// says why on stderr and exits 1, so scripts and people can tell.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/program_info.h"
#include "net/http_client.h"

int main(int argc, char** argv) {
    constexpr const char* kUsage = "usage: vexorin-fetch URL\n";
    if (vx::AnswerVersionOrHelp(argc, argv, "vexorin-fetch", kUsage,
                                "Prints the body a fetch of URL gives (http:// or https://), "
                                "nothing else; a failed fetch says why on stderr, exit 1.\n"))
        return 0;
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const vx::PageAnswer answer = vx::FetchAnswer(argv[1]);
    std::fwrite(answer.body.data(), 1, answer.body.size(), stdout);
    if (std::fflush(stdout) != 0) return 1;
    if (answer.complete) return 0;
    // Control bytes a hostile peer put in its status line stay out of the
    // terminal.
    std::string why;
    for (const unsigned char c : answer.error) {
        if (c < 0x20 || c == 0x7F) {
            if (!why.empty() && why.back() != ' ') why += ' ';
        } else {
            why += static_cast<char>(c);
        }
    }
    std::fprintf(stderr, "vexorin-fetch: %s\n", why.c_str());
    return 1;
}
