// The local stand-in for the keyword-suggestion and web-search services:
// one poll loop on 127.0.0.1, keep-alive, Content-Length framing. Sockets
// never block, so one client that stops reading cannot hold the others.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <string>

namespace vx::services {

// Response body for a request target, or false when the path is unknown.
bool PageFor(const std::string& target, std::string* body);

class StandInServer {
  public:
    // port 0 picks a free one.
    explicit StandInServer(int port, int latencyMs = 0);
    ~StandInServer();
    bool ok() const { return listenFd_ >= 0; }
    int port() const { return port_; }
    // Serves until stop becomes true.
    void Run(const std::atomic<bool>& stop);

  private:
    struct Client;
    void AcceptClients(std::map<int, Client>& clients,
                       std::chrono::steady_clock::time_point& backoffUntil);
    // False when the client is to be dropped.
    bool ReadRequests(int fd, Client& c);
    bool WriteAnswers(int fd, Client& c);

    int listenFd_ = -1;
    int port_ = 0;
    int latencyMs_;
};

}  // namespace vx::services
