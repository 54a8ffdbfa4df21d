// A listening TCP socket on 127.0.0.1, for the stand-in services and the
// test and benchmark peers.
#pragma once

namespace vx {

// port 0 picks a free one; *boundPort gets the port in use. -1 on failure.
int ListenOnLoopback(int port, int backlog, int* boundPort);

}  // namespace vx
