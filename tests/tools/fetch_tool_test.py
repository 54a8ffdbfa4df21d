#!/usr/bin/env python3
"""vexorin-fetch through the real binary against scripted loopback servers."""
import os
import resource
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from httpstub import Stub, ok, stall, flood  # noqa: E402

TOOL = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-fetch"


def fetch(url, **env):
    e = dict(os.environ, **env)
    t0 = time.monotonic()
    r = subprocess.run([TOOL, url], capture_output=True, env=e, timeout=60)
    return r, time.monotonic() - t0


class FetchTool(unittest.TestCase):
    def setUp(self):
        self.stub = Stub({
            "/length": ok(b"length body\x00\xff"),
            "/chunked": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                        b"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n",
            "/close": b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil close",
            "/redirect": b"HTTP/1.1 302 Found\r\nLocation: /length\r\nContent-Length: 5\r\n\r\nmoved",
            "/missing": b"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
            "/malformed": b"HTTP/1.1 abc\r\nContent-Length: 2\r\n\r\nno",
            "/stall": stall,
            "/flood": flood,
        })

    def tearDown(self):
        self.stub.close()

    def test_bodies_for_each_framing_and_failure(self):
        # A failure prints what arrived and says why on stderr, exit 1.
        cases = {
            "/length": (0, b"length body\x00\xff", b""),
            "/chunked": (0, b"hello world", b""),
            "/redirect": (1, b"moved", b"vexorin-fetch: Redirect: HTTP/1.1 302 Found\n"),
            "/missing": (1, b"not found", b"vexorin-fetch: HTTP/1.1 404 Not Found\n"),
            "/malformed": (1, b"", b"vexorin-fetch: Invalid status line: HTTP/1.1 abc\n"),
        }
        for target, want in cases.items():
            r, _ = fetch(self.stub.url(target))
            self.assertEqual((r.returncode, r.stdout, r.stderr), want, target)

    def test_close_framing(self):
        # The stub closes only when told to by the framing: send and close.
        def close_after(conn, stub):
            conn.sendall(b"HTTP/1.1 200 OK\r\n\r\nuntil close")
        self.stub.routes["/close"] = close_after
        r, _ = fetch(self.stub.url("/close"))
        self.assertEqual(r.stdout, b"until close")

    def test_nothing_for_https_and_refused(self):
        r, _ = fetch(f"https://127.0.0.1:{self.stub.port}/length")
        self.assertEqual((r.returncode, r.stdout), (1, b""))
        self.assertTrue(r.stderr.startswith(b"vexorin-fetch: "), r.stderr)
        import socket
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
        s.close()
        r, _ = fetch(f"http://127.0.0.1:{port}/")
        self.assertEqual((r.returncode, r.stdout), (1, b""))
        self.assertIn(b"Connection refused", r.stderr)

    def test_stalled_server_is_bounded(self):
        r, took = fetch(self.stub.url("/stall"), VEXORIN_NET_SILENCE_MS="500")
        self.assertEqual((r.returncode, r.stdout, r.stderr),
                         (1, b"", b"vexorin-fetch: Read timed out.\n"))
        self.assertLess(took, 5)

    def test_endless_body_is_bounded_in_time_and_memory(self):
        before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        r, took = fetch(self.stub.url("/flood"), VEXORIN_NET_FETCH_MS="1500")
        peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        self.assertEqual(r.returncode, 1)
        self.assertLess(took, 10)
        self.assertLessEqual(len(r.stdout), 64 * 1024 * 1024)
        # Body cap plus the process itself; never the endless stream (shadow
        # memory besides under ThreadSanitizer).
        ceiling = 640 if "TSAN_OPTIONS" in os.environ else 200
        self.assertLess(max(before, peak_kib), ceiling * 1024)


    def test_dotted_hosts_are_read_as_decimal(self):
        import socket
        # A listener on 127.0.0.8: octal reading of "127.0.0.0010" would reach it.
        s = socket.socket()
        s.bind(("127.0.0.8", 0))
        s.listen(4)
        s.settimeout(0.5)
        port = s.getsockname()[1]
        try:
            r, _ = fetch(f"http://127.0.0.0010:{port}/")
            self.assertEqual((r.returncode, r.stdout), (1, b""))
            with self.assertRaises(socket.timeout):
                s.accept()
            # The same listener is reached through its decimal spelling.
            r, _ = fetch(f"http://127.0.0.008:{port}/", VEXORIN_NET_SILENCE_MS="300")
            conn, _ = s.accept()
            conn.close()
        finally:
            s.close()


if __name__ == "__main__":
    unittest.main(verbosity=1)
