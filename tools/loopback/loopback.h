// Socket helpers shared by every loopback HTTP peer of ours: the stand-in
// services, the test script server and the benchmark server.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace vx {

// A listening TCP socket on 127.0.0.1. port 0 picks a free one; *boundPort
// gets the port in use. -1 on failure.
int ListenOnLoopback(int port, int backlog, int* boundPort);

// Sends all of bytes on a blocking socket; false when the peer went away.
bool SendAll(int fd, std::string_view bytes);

// Reads up to the blank line that ends a request head, into *head (bytes
// after it stay in *head too). False on close, error or the deadline.
bool ReadRequestHead(int fd, std::string* head, std::chrono::steady_clock::time_point until);

// The request target of "GET /x HTTP/1.1": "/x"; empty when malformed.
std::string RequestTargetOf(std::string_view head);

}  // namespace vx
