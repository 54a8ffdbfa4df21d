#include "net/connection_pool.h"

#include <algorithm>

#include "net/tcp_connection.h"

namespace vx {

ConnectionPool::ConnectionPool(int maxIdlePerHost, std::chrono::milliseconds idleLimit)
    : maxIdle_(static_cast<size_t>(std::max(1, maxIdlePerHost))), idleLimit_(idleLimit) {}

ConnectionPool::~ConnectionPool() = default;

void ConnectionPool::DropStale(std::deque<Kept>& kept, Clock::time_point now) {
    // Oldest first: a connection idle past the limit is one a server is
    // about to close, if it has not already.
    while (!kept.empty() && now - kept.front().since > idleLimit_) kept.pop_front();
}

std::unique_ptr<TcpConnection> ConnectionPool::Take(const std::string& key) {
    std::unique_ptr<TcpConnection> taken;
    {
        const std::lock_guard lock(mutex_);
        const auto it = idle_.find(key);
        if (it == idle_.end()) return nullptr;
        DropStale(it->second, Clock::now());
        if (it->second.empty()) return nullptr;
        taken = std::move(it->second.back().connection);
        it->second.pop_back();
    }
    // Closed by the server while it waited: no use.
    if (!taken->IsOpen()) return nullptr;
    return taken;
}

void ConnectionPool::Give(const std::string& key, std::unique_ptr<TcpConnection> connection) {
    if (!connection || !connection->IsOpen()) return;
    std::unique_ptr<TcpConnection> dropped;
    const std::lock_guard lock(mutex_);
    std::deque<Kept>& kept = idle_[key];
    const auto now = Clock::now();
    DropStale(kept, now);
    kept.push_back({now, std::move(connection)});
    if (kept.size() > maxIdle_) {
        dropped = std::move(kept.front().connection);
        kept.pop_front();
    }
}

int ConnectionPool::Idle() const {
    const std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& [key, kept] : idle_) n += kept.size();
    return static_cast<int>(n);
}

}  // namespace vx
