// The local stand-in for the keyword-suggestion and web-search services:
// one poll loop on 127.0.0.1, keep-alive, Content-Length framing. Sockets
// never block, so one client that stops reading cannot hold the others.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>

struct ssl_ctx_st;

namespace vx::services {

// Response body for a request target, or false when the path is unknown.
bool PageFor(const std::string& target, std::string* body);

// What one client, and all of them together, may make the server hold.
struct ServerLimits {
    int latencyMs = 0;  // added before each answer
    // The share of search answers that fail transiently (503), drawn from a
    // generator seeded with failSeed so runs repeat.
    double failRate = 0;
    unsigned failSeed = 1;
    // A request's head must be complete this long after its first byte,
    // however slowly bytes trickle in.
    std::chrono::milliseconds headerTimeout{10000};
    // Answers queued for clients that do not read them: past this in all,
    // clients with answers waiting are not read until they drain.
    size_t maxPendingTotal = 64u * 1024 * 1024;
};

class StandInServer {
  public:
    // port 0 picks a free one.
    explicit StandInServer(int port, ServerLimits limits = {});
    ~StandInServer();
    bool ok() const { return listenFd_ >= 0; }
    int port() const { return port_; }
    // Serves HTTPS from now on with this certificate chain and key (PEM
    // files); false, with the reason, when they cannot be used.
    bool EnableTls(const std::string& certFile, const std::string& keyFile, std::string* why);
    // Serves until stop becomes true.
    void Run(const std::atomic<bool>& stop);
    // Requests answered so far: what a benchmark's network floor counts.
    long long Answered() const { return answered_; }

  private:
    struct Client;
    void AcceptClients(std::map<int, Client>& clients,
                       std::chrono::steady_clock::time_point& backoffUntil);
    bool MayAnswer(const Client& c) const;
    void AnswerRequests(Client& c);
    // False when the client is to be dropped.
    bool ReadRequests(int fd, Client& c);
    bool WriteAnswers(int fd, Client& c);

    int listenFd_ = -1;
    int port_ = 0;
    ServerLimits limits_;
    std::shared_ptr<ssl_ctx_st> tls_;
    std::mt19937 failures_;
    size_t pendingTotal_ = 0;  // answers queued for all clients
    long long answered_ = 0;
};

}  // namespace vx::services
