// Kept-alive connections of a run, for services that are asked many times
// (a JSON search API, SearXNG): a handshake once per connection instead of
// once per request. Shared by the run's lookup threads.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vx {

class TcpConnection;

class ConnectionPool {
  public:
    // At most maxIdlePerHost idle connections a host are kept (the rows
    // looked up at once); one idle longer than idleLimit is closed.
    explicit ConnectionPool(int maxIdlePerHost,
                            std::chrono::milliseconds idleLimit = std::chrono::seconds(30));
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // The most recently used idle connection to key ("https://host:port")
    // still open; none when there is none.
    std::unique_ptr<TcpConnection> Take(const std::string& key);
    // Keeps a connection that finished its exchange open.
    void Give(const std::string& key, std::unique_ptr<TcpConnection> connection);
    int Idle() const;

  private:
    using Clock = std::chrono::steady_clock;
    struct Kept {
        Clock::time_point since;
        std::unique_ptr<TcpConnection> connection;
    };
    void DropStale(std::deque<Kept>& kept, Clock::time_point now);

    const size_t maxIdle_;
    const std::chrono::milliseconds idleLimit_;
    mutable std::mutex mutex_;
    std::map<std::string, std::deque<Kept>> idle_;
};

}  // namespace vx
