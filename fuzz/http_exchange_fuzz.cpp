// Arbitrary server bytes through the whole HTTP exchange, over a socket pair.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 60000) return 0;  // stays inside the socket buffer: no writer thread
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    int big = 1 << 20;
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    ::shutdown(fds[1], SHUT_WR);

    vx::NetLimits limits;
    limits.silenceTimeoutMs = 50;
    limits.fetchTimeoutMs = 500;
    limits.maxBodyBytes = 1 << 20;
    limits.maxLineBytes = 4096;
    limits.maxHeaderLines = 100;
    std::string sink;
    {
        vx::HttpClient client(limits);
        client.connector = [&](vx::TcpConnection& c) { c.AdoptSocket(fds[0]); };
        sink = client.Get("http://fuzz.test/search?p=%22a+b%22").body;
        // The client closed its end when it was done, or closes it now.
    }
    ::close(fds[1]);
    // Nothing beyond what the server sent can be a body, nor past the cap.
    if (sink.size() > size || sink.size() > limits.maxBodyBytes) std::abort();
    return 0;
}
