#!/usr/bin/env python3
"""Hostile services over loopback: for each, a fetch ends within its bound
with memory under a ceiling, and a research run against it still completes
its row. Prints a table of the figures."""
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from httpstub import Stub, ok  # noqa: E402

FETCH = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-fetch"
RESEARCH = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-research"

SILENCE_MS, FETCH_MS = 500, 3000
LIMITS = {"VEXORIN_NET_SILENCE_MS": str(SILENCE_MS), "VEXORIN_NET_FETCH_MS": str(FETCH_MS)}
TIME_BOUND = FETCH_MS / 1000 + 2.0
# The 64 MiB body cap, the process, and slack; under AddressSanitizer (the
# test command's second build) its quarantine keeps freed pages resident.
# Runs are recorded in a history of the tests' own, never the user's.
os.environ["XDG_DATA_HOME"] = tempfile.mkdtemp(prefix="vexorin-hostile-test-")

# ThreadSanitizer (scripts/tsan.sh) keeps shadow memory for every byte.
RSS_CEILING_MB = (640 if "TSAN_OPTIONS" in os.environ
                  else 320 if "ASAN_OPTIONS" in os.environ else 100)
FIGURES = []
TMP = tempfile.TemporaryDirectory()


def pump(conn, stub, chunk, head=b""):
    try:
        if head:
            conn.sendall(head)
        while not stub.stopping:
            conn.sendall(chunk)
    except OSError:
        pass


def stall(conn, stub, head=b""):
    if head:
        conn.sendall(head)
    while not stub.stopping:
        time.sleep(0.05)


def reset(conn, stub):
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\npartial body")
    time.sleep(0.1)
    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    conn.close()


MANY = b"HTTP/1.1 200 OK\r\n" + b"X-Header: value\r\n" * 100000 + b"\r\nbody"
CASES = {
    "never answers": lambda c, s: stall(c, s),
    "headers then stall": lambda c, s: stall(c, s, b"HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\nsome"),
    "endless body": lambda c, s: pump(c, s, b"x" * 65536, b"HTTP/1.1 200 OK\r\n\r\n"),
    "endless header line": lambda c, s: pump(c, s, b"h" * 65536, b"HTTP/1.1 200 OK\r\nX-Long: "),
    "100000 header lines": lambda c, s: c.sendall(MANY),
    "2 GB Content-Length": lambda c, s: pump(c, s, b"y" * 65536,
                                             b"HTTP/1.1 200 OK\r\nContent-Length: 2000000000\r\n\r\n"),
    "chunk size ffffffff": lambda c, s: pump(c, s, b"z" * 65536,
                                             b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                             b"2\r\nok\r\nffffffff\r\n"),
    "chunk size 7fffffff": lambda c, s: pump(c, s, b"z" * 65536,
                                             b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                             b"7fffffff\r\n"),
    "1 MiB chunks": lambda c, s: pump(c, s, b"100000\r\n" + b"c" * 0x100000 + b"\r\n",
                                      b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"),
    "binary garbage": lambda c, s: c.sendall(bytes(range(256)) * 64),
    "reset mid body": reset,
    "redirect loop": lambda c, s: c.sendall(b"HTTP/1.1 301 Moved\r\nLocation: /loop\r\n"
                                            b"Content-Length: 5\r\n\r\nmoved"),
}


def run_measured(argv, env):
    # /usr/bin/time reports the peak of the program alone; a child's own
    # figure would include the (large) Python process it was forked from.
    rss_file = os.path.join(TMP.name, "rss")
    t0 = time.monotonic()
    p = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss_file, *argv],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    took = time.monotonic() - t0
    with open(rss_file) as f:
        rss_kib = int(f.read().split()[-1])
    return p.returncode, p.stdout, took, rss_kib / 1024


class HostileServices(unittest.TestCase):
    def test_each_case(self):
        for name, handler in CASES.items():
            with self.subTest(name):
                stub = Stub({}, default=handler)
                suggest = Stub({"/d/searchinventory/suggestion/?term=shoes&mkt=us&lang=en_US":
                                ok("x done <td>&nbsp;100</td><td><a href=y>red shoes</a></td>")})
                try:
                    env = dict(os.environ, **LIMITS)
                    rc, body, took, rss = run_measured([FETCH, stub.url("/loop")], env)
                    self.assertEqual(rc, 1)  # every case is a failed fetch, and says so
                    self.assertLess(took, TIME_BOUND)
                    self.assertLess(rss, RSS_CEILING_MB)
                    self.assertLessEqual(len(body), 64 * 1024 * 1024)
                    env.update(VEXORIN_SUGGEST_HOST=suggest.host(), VEXORIN_SEARCH_HOST=stub.host(), LC_ALL="C")
                    rc2, out, took2, rss2 = run_measured(
                        [RESEARCH, "--keyword", "shoes", "--site", "example.com", "--depth", "1"], env)
                    rows = [l.split(b"\t") for l in out.splitlines()]
                    self.assertEqual(rc2, 0)
                    self.assertEqual(len(rows), 1)
                    self.assertEqual(len(rows[0]), 8)
                    self.assertEqual(rows[0][1], b"red shoes")
                    self.assertIn(rows[0][5], (b"?", b"-"))
                    self.assertLess(took2, 2 * TIME_BOUND)
                    self.assertLess(rss2, RSS_CEILING_MB)
                    FIGURES.append((name, len(body), took, rss, rows[0][3].decode("latin-1"),
                                    rows[0][5].decode(), took2, rss2))
                finally:
                    stub.close()
                    suggest.close()

    @classmethod
    def tearDownClass(cls):
        print("\n| case | fetch: body bytes | fetch: seconds | fetch: peak RSS MB | "
              "research: competition | research: rank | research: seconds | research: peak RSS MB |")
        print("|---|---|---|---|---|---|---|---|")
        for f in FIGURES:
            print(f"| {f[0]} | {f[1]} | {f[2]:.2f} | {f[3]:.0f} | {f[4]} | {f[5]} | {f[6]:.2f} | {f[7]:.0f} |")


if __name__ == "__main__":
    unittest.main(verbosity=1)
