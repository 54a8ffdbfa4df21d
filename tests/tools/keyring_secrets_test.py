#!/usr/bin/env python3
"""Secrets kept in a real keyring (with_keyring.sh starts one), through the
tool: a profile's key kept for its server reaches it, and is shown in no
form whatever the service writes back; kept for another server it is not
sent at all."""
import base64
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import quote, quote_plus

sys.path.insert(0, os.path.dirname(__file__))
from httpstub import Stub  # noqa: E402

TOOL = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-research"
MARKER = "made-up-kept+/=&% key"


def forms(secret):
    escaped = quote(secret, safe="")
    return {secret, escaped, re.sub("%[0-9A-F]{2}", lambda m: m.group(0).lower(), escaped),
            quote_plus(secret, safe=""), json.dumps(secret)[1:-1],
            json.dumps(secret)[1:-1].replace("/", "\\/"),
            base64.b64encode(secret.encode()).decode()}


def keep(server):
    subprocess.run(["secret-tool", "store", "--label=x", "xdg:schema", "org.vexorin.Secret",
                    "name", "serpapi_key", "server", server], input=MARKER.encode(), check=True)


class KeptSecrets(unittest.TestCase):
    def test_a_kept_key_goes_to_its_server_and_shows_in_no_form(self):
        def echo(conn, stub):
            target = stub.requests[-1].split(b" ")[1].decode()
            body = json.dumps({"error": f"bad key in {target}"}).encode()
            stub.answering()
            conn.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\n"
                         b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)

        with tempfile.TemporaryDirectory() as d:
            terms = os.path.join(d, "terms.txt")
            with open(terms, "w") as f:
                f.write("t\n")
            env = dict(os.environ, XDG_DATA_HOME=d, XDG_CONFIG_HOME=d)
            stub = Stub({}, default=echo)
            try:
                keep(stub.host())
                r = subprocess.run([TOOL, "--import", terms, "--search-service",
                                    "serpapi@" + stub.url(""), "--save", d + "/out.bki"],
                                   capture_output=True, env=env, timeout=60)
                sent = b"".join(stub.requests)
            finally:
                stub.close()
            self.assertIn(quote(MARKER, safe="").encode(), sent)  # it reached its server
            self.assertIn(b"answered 400: bad key in /search.json?", r.stderr)
            stored = b""
            for top, _, files in os.walk(d):
                for name in files:
                    with open(os.path.join(top, name), "rb") as f:
                        stored += f.read()
            for form in forms(MARKER):
                self.assertNotIn(form.encode(), r.stdout + r.stderr + stored, form)

            # Kept for another server: a profile pointed elsewhere gets nothing.
            keep("elsewhere.example:443")
            r = subprocess.run([TOOL, "--import", terms, "--search-service",
                                "serpapi@https://other.example"], capture_output=True, env=env,
                               timeout=60)
            self.assertEqual(r.returncode, 1)
            self.assertIn(b"the secret serpapi_key was not sent to other.example: it belongs to "
                          b"serpapi.com:443", r.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=1)
