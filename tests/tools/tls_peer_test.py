#!/usr/bin/env python3
"""Our HTTPS client against a real TLS peer, nginx on loopback, with a CA
and a certificate made here by the openssl command: bodies byte-identical."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

FETCH = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-fetch"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_certificates(d):
    def run(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True)
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{d}/ca.key", "-out",
        f"{d}/ca.pem", "-days", "2", "-subj", "/CN=Vexorin peer test CA")
    run("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{d}/leaf.key", "-out",
        f"{d}/leaf.csr", "-subj", "/CN=localhost")
    with open(f"{d}/ext", "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n")
    run("x509", "-req", "-in", f"{d}/leaf.csr", "-CA", f"{d}/ca.pem", "-CAkey", f"{d}/ca.key",
        "-CAcreateserial", "-out", f"{d}/leaf.pem", "-days", "2", "-extfile", f"{d}/ext")


@unittest.skipIf(shutil.which("nginx") is None and not os.path.exists("/usr/sbin/nginx"),
                 "nginx is not installed")
class NginxPeer(unittest.TestCase):
    def test_bodies_are_byte_identical(self):
        with tempfile.TemporaryDirectory() as d:
            make_certificates(d)
            os.mkdir(f"{d}/www")
            bodies = {"empty": b"", "one": b"x", "page": os.urandom(20480),
                      "large": os.urandom(3 * 1024 * 1024 + 7)}
            for name, body in bodies.items():
                with open(f"{d}/www/{name}", "wb") as f:
                    f.write(body)
            port = free_port()
            with open(f"{d}/nginx.conf", "w") as f:
                f.write(f"""daemon off; pid {d}/nginx.pid; error_log {d}/error.log;
events {{}}
http {{
  access_log off; client_body_temp_path {d}; proxy_temp_path {d};
  fastcgi_temp_path {d}; uwsgi_temp_path {d}; scgi_temp_path {d};
  server {{
    listen 127.0.0.1:{port} ssl;
    ssl_certificate {d}/leaf.pem; ssl_certificate_key {d}/leaf.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    root {d}/www;
  }}
}}
""")
            nginx = shutil.which("nginx") or "/usr/sbin/nginx"
            server = subprocess.Popen([nginx, "-c", f"{d}/nginx.conf", "-p", d],
                                      stderr=subprocess.PIPE)
            try:
                deadline = time.monotonic() + 10
                while time.monotonic() < deadline:
                    with socket.socket() as s:
                        if s.connect_ex(("127.0.0.1", port)) == 0:
                            break
                    time.sleep(0.05)
                env = dict(os.environ, VEXORIN_CA_FILE=f"{d}/ca.pem")
                for name, body in bodies.items():
                    for host in ("localhost", "127.0.0.1"):
                        r = subprocess.run([FETCH, f"https://{host}:{port}/{name}"],
                                           capture_output=True, env=env, timeout=60)
                        self.assertEqual(r.returncode, 0, r.stderr)
                        self.assertEqual(r.stdout, body, f"{name} from {host}")
                # Without the test CA nothing is trusted, and nothing is shown.
                r = subprocess.run([FETCH, f"https://localhost:{port}/page"],
                                   capture_output=True, env=dict(os.environ, VEXORIN_CA_FILE=""),
                                   timeout=60)
                self.assertEqual(r.stdout, b"")
            finally:
                server.terminate()
                server.wait(timeout=10)


if __name__ == "__main__":
    unittest.main()
