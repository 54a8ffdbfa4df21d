// vexorin-services: the local stand-in for the keyword-suggestion and
// web-search services, on 127.0.0.1.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "core/program_info.h"
#include "core/text.h"
#include "engine/host.h"
#include "json_services.h"
#include "stand_in_server.h"

namespace {
std::atomic<bool> gStop{false};
void OnSignal(int) {
    gStop = true;
}
}  // namespace

int main(int argc, char** argv) {
    constexpr const char* kUsage =
        "usage: vexorin-services [--port N] [--latency-ms MS] [--header-timeout-ms MS]\n"
        "                        [--fail-rate P] [--seed N] [--tls-cert FILE --tls-key FILE]\n"
        "                        [--searxng-counts] [--searxng-json-off] "
        "[--searxng-engines-down]\n"
        "                        [--count]  (on exit: how many requests it answered)\n";
    if (vx::AnswerVersionOrHelp(argc, argv, "vexorin-services", kUsage,
                                "The stand-in keyword-suggestion and web-search services on "
                                "127.0.0.1.\n"))
        return 0;
    int port = vx::kDefaultServicesPort;
    vx::services::ServerLimits limits;
    std::string certFile, keyFile;
    // A value that does not read, or lies outside its range, is bad usage:
    // never a server on some other port than the one asked for.
    auto whole = [](const char* text, int64_t highest) -> std::optional<int64_t> {
        const auto n = vx::ReadWholeNumber64(text);
        return n && *n >= 0 && *n <= highest ? n : std::nullopt;
    };
    bool ok = true, count = false;
    vx::services::SearxngSetup searxng;
    for (int i = 1; ok && i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--count") {
            count = true;
            continue;
        }
        if (a == "--searxng-counts" || a == "--searxng-json-off" || a == "--searxng-engines-down") {
            (a == "--searxng-counts"     ? searxng.counts
             : a == "--searxng-json-off" ? searxng.jsonOff
                                         : searxng.enginesDown) = true;
            continue;
        }
        const char* v = i + 1 < argc ? argv[++i] : nullptr;
        std::optional<int64_t> n;
        if (!v) {
            ok = false;
        } else if (a == "--port" && (n = whole(v, 65535))) {
            port = static_cast<int>(*n);  // 0: any free port
        } else if (a == "--latency-ms" && (n = whole(v, 3600000))) {
            limits.latencyMs = static_cast<int>(*n);
        } else if (a == "--header-timeout-ms" && (n = whole(v, 3600000))) {
            limits.headerTimeout = std::chrono::milliseconds(*n);
        } else if (a == "--seed" && (n = whole(v, UINT32_MAX))) {
            limits.failSeed = static_cast<unsigned>(*n);
        } else if (const auto p = vx::ReadDecimal(v, '.');
                   a == "--fail-rate" && p && *p >= 0 && *p <= 1) {
            limits.failRate = *p;
        } else if (a == "--tls-cert") {
            certFile = v;
        } else if (a == "--tls-key") {
            keyFile = v;
        } else {
            ok = false;
        }
    }
    if (!ok) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    vx::services::SetSearxngSetup(searxng);
    vx::services::StandInServer server(port, limits);
    if (!server.ok()) {
        std::fprintf(stderr, "vexorin-services: cannot listen on 127.0.0.1:%d: %s\n", port,
                     std::strerror(errno));
        return 1;
    }
    // HTTPS on the same port when given a certificate and its key.
    if (certFile.empty() != keyFile.empty()) {
        std::fprintf(stderr, "vexorin-services: --tls-cert and --tls-key go together\n");
        return 2;
    }
    if (std::string why; !certFile.empty() && !server.EnableTls(certFile, keyFile, &why)) {
        std::fprintf(stderr, "vexorin-services: cannot serve TLS: %s\n", why.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("vexorin-services listening on 127.0.0.1:%d\n", server.port());
    std::fflush(stdout);
    server.Run(gStop);
    if (count) {
        std::printf("vexorin-services answered %lld requests\n", server.Answered());
        std::fflush(stdout);
    }
    return 0;
}
