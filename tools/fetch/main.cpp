// Prints exactly the bytes FetchPage returns for a URL; nothing else.
#include <cstdio>
#include <string>

#include "net/http_client.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vexorin-fetch URL\n", stderr);
        return 2;
    }
    const std::string body = vx::FetchPage(argv[1]);
    std::fwrite(body.data(), 1, body.size(), stdout);
    return 0;
}
