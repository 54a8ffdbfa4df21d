// vexorin-services: the local stand-in for the keyword-suggestion and
// web-search services, on 127.0.0.1.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/program_info.h"
#include "engine/host.h"
#include "stand_in_server.h"

namespace {
std::atomic<bool> gStop{false};
void OnSignal(int) {
    gStop = true;
}
}  // namespace

int main(int argc, char** argv) {
    if (vx::AnswerVersionOrHelp(
            argc, argv, "vexorin-services",
            "usage: vexorin-services [--port N] [--latency-ms MS] [--header-timeout-ms MS]\n"
            "                        [--fail-rate P] [--seed N] [--tls-cert FILE --tls-key FILE]\n",
            "The stand-in keyword-suggestion and web-search services on 127.0.0.1.\n"))
        return 0;
    int port = vx::kDefaultServicesPort;
    vx::services::ServerLimits limits;
    std::string certFile, keyFile;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (a == "--latency-ms" && i + 1 < argc) {
            limits.latencyMs = std::atoi(argv[++i]);
        } else if (a == "--header-timeout-ms" && i + 1 < argc) {
            limits.headerTimeout = std::chrono::milliseconds(std::atoi(argv[++i]));
        } else if (a == "--tls-cert" && i + 1 < argc) {
            certFile = argv[++i];
        } else if (a == "--tls-key" && i + 1 < argc) {
            keyFile = argv[++i];
        } else if (a == "--fail-rate" && i + 1 < argc) {
            limits.failRate = std::atof(argv[++i]);
        } else if (a == "--seed" && i + 1 < argc) {
            limits.failSeed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr,
                         "usage: vexorin-services [--port N] [--latency-ms MS] "
                         "[--header-timeout-ms MS] [--fail-rate P] [--seed N]\n"
                         "                       [--tls-cert FILE --tls-key FILE]\n");
            return 2;
        }
    }
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
    return 0;
}
