// The local stand-in for the keyword-suggestion and web-search services:
// one poll loop on 127.0.0.1, keep-alive, Content-Length framing.
#pragma once

#include <atomic>
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
    int listenFd_ = -1;
    int port_ = 0;
    int latencyMs_;
};

}  // namespace vx::services
