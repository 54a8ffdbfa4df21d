// A one-thread loopback HTTP server for benchmarks: answers every request
// from a table of paths, framing each body by length, chunks or close, and
// keeps keep-alive connections until the client closes, like a real server.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <thread>

namespace vx::bench {

enum class Framing { Length, Chunked, Close };

class BenchServer {
  public:
    BenchServer();
    ~BenchServer();
    void Add(const std::string& path, std::string body, Framing framing);
    int port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    void Start();

  private:
    void Serve();
    void Answer(int fd);

    struct Page {
        std::string body;
        Framing framing;
    };
    std::map<std::string, Page> pages_;
    int listenFd_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace vx::bench
