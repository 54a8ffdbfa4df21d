// Prints exactly the bytes FetchPage returns for a URL; nothing else.
// VEXORIN_FETCH_SILENCE_MS and VEXORIN_FETCH_TIMEOUT_MS shorten the waits
// (for scripts that probe stalling servers); the application never reads them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/http_client.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vexorin-fetch URL\n", stderr);
        return 2;
    }
    vx::NetLimits limits;
    if (const char* s = std::getenv("VEXORIN_FETCH_SILENCE_MS"); s && std::atoi(s) > 0)
        limits.silenceTimeoutMs = std::atoi(s);
    if (const char* s = std::getenv("VEXORIN_FETCH_TIMEOUT_MS"); s && std::atoi(s) > 0)
        limits.fetchTimeoutMs = std::atoi(s);
    const std::string body = vx::FetchPage(argv[1], limits);
    std::fwrite(body.data(), 1, body.size(), stdout);
    return 0;
}
