#!/usr/bin/env python3
"""Peak memory of a research whose search service answers every request
with 63 MiB of chunked JSON, eight rows at once, against the same research
answered with a small JSON answer: the run must stay under 100 MB whatever
the service sends.
Usage: oversized_bench.py VEXORIN-RESEARCH"""
import os
import resource
import socketserver
import subprocess
import sys
import tempfile
import threading

TOOL = sys.argv[1]
CHUNK = b" " * (1 << 20)


class Oversized(socketserver.BaseRequestHandler):
    big = True

    def handle(self):
        self.request.settimeout(10)
        try:
            while True:
                head = b""
                while b"\r\n\r\n" not in head:
                    data = self.request.recv(4096)
                    if not data:
                        return
                    head += data
                if not self.big:
                    body = b'{"results": []}'
                    self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" %
                                         len(body) + body)
                    continue
                self.request.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")
                self.request.sendall(b"1\r\n[\r\n")
                for _ in range(63):
                    self.request.sendall(b"%x\r\n" % len(CHUNK) + CHUNK + b"\r\n")
                self.request.sendall(b"1\r\n]\r\n0\r\n\r\n")
        except OSError:
            pass


def peak(big):
    Oversized.big = big
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Oversized)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"
    with tempfile.TemporaryDirectory() as d:
        terms = os.path.join(d, "terms.txt")
        with open(terms, "w") as f:
            f.write("".join(f"term {i}\n" for i in range(16)))
        before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        subprocess.run([TOOL, "--import", terms, "--site", "example.com", "--depth", "1",
                        "--parallel", "8", "--no-history", "--search-service",
                        "searxng@" + base], capture_output=True, timeout=600,
                       env=dict(os.environ, XDG_DATA_HOME=d, XDG_CONFIG_HOME=d))
        after = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    server.shutdown()
    return max(before, after) / 1024


small = peak(False)
big = peak(True)
print(f"peak memory, 8 lanes of 63 MiB JSON answers: {big:.1f} MB (under 100), "
      f"against {small:.1f} MB with small answers")
