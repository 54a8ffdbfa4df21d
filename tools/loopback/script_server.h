// The loopback HTTP peer of the tests and the benchmarks: it accepts
// connections on a free port, records each request head, then plays a
// script of sends, pauses, stalls and closes, the same for every request or
// one chosen by the request target. Stopped and joined on scope exit.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vx::testing {

struct Step {
    enum Kind { Send, Sleep, Stall, SendForever, Reset, CloseWrite } kind;
    std::string bytes;
    int ms = 0;

    static Step Bytes(std::string b) { return {Send, std::move(b), 0}; }
    static Step Pause(int ms) { return {Sleep, {}, ms}; }
    static Step StallForever() { return {Stall, {}, 0}; }
    static Step Flood(std::string chunk) { return {SendForever, std::move(chunk), 0}; }
    static Step Abort() { return {Reset, {}, 0}; }
    static Step HalfClose() { return {CloseWrite, {}, 0}; }
};

// A loopback port nobody listens on (taken, then released).
int UnusedLoopbackPort();

class ScriptServer {
  public:
    // readRequest: wait for the blank line that ends a request head first.
    explicit ScriptServer(std::vector<Step> script, bool readRequest = true);
    // The script for each request, by its target ("/path?query").
    using Router = std::function<std::vector<Step>(const std::string& target)>;
    explicit ScriptServer(Router router);
    ~ScriptServer();

    int port() const { return port_; }
    std::string Url(const std::string& pathAndQuery = "/") const;
    // Request heads received so far, one per connection.
    std::vector<std::string> Requests() const;
    int Connections() const { return connections_.load(); }

  private:
    void Serve();
    void Play(int fd);

    std::vector<Step> script_;
    Router router_;
    bool readRequest_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace vx::testing
