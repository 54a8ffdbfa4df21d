"""A scripted loopback HTTP server for the tool tests: answers request
targets from a table, records every request head, and can stall, flood or
send raw bytes."""
import socket
import threading
import time


class Stub:
    def __init__(self, routes, default=b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"):
        # routes: target -> raw response bytes, or a callable(sock, stub)
        # that writes whatever it likes and returns True when it wrote one
        # whole answer (the connection then serves the next request).
        self.routes = routes
        self.default = default
        self.requests = []
        self.connections = 0  # accepted
        # Requests waiting for their answer at once (between the head's
        # arrival and the first byte of the answer): now and the most seen.
        self.lock = threading.Lock()
        self.waiting = 0
        self.most_waiting = 0
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(32)
        self.sock.settimeout(0.1)
        self.port = self.sock.getsockname()[1]
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def url(self, target="/"):
        return f"http://127.0.0.1:{self.port}{target}"

    def host(self):
        return f"127.0.0.1:{self.port}"

    def targets(self):
        return [r.split(b" ")[1].decode("latin-1") for r in self.requests]

    def _serve(self):
        while not self.stopping:
            try:
                conn, _ = self.sock.accept()
            except socket.timeout:
                continue
            self.connections += 1
            threading.Thread(target=self._answer, args=(conn,), daemon=True).start()

    def _answer(self, conn):
        """Answers requests on the connection until the client closes it or
        leaves it idle for 2 s, as an HTTP/1.1 server keeps it alive; a
        callable route that does not say it answered whole ends it."""
        conn.settimeout(5)
        pending = b""
        try:
            while True:
                while b"\r\n\r\n" not in pending:
                    data = conn.recv(4096)
                    if not data:
                        return
                    pending += data
                head, pending = pending.split(b"\r\n\r\n", 1)
                head += b"\r\n\r\n"
                # A body (a POST's) is read whole, so that the next request
                # starts where it ends.
                length = 0
                for line in head.split(b"\r\n")[1:]:
                    name, _, value = line.partition(b":")
                    if name.strip().lower() == b"content-length":
                        length = int(value.strip() or 0)
                while len(pending) < length:
                    data = conn.recv(4096)
                    if not data:
                        return
                    pending += data
                pending = pending[length:]
                self.requests.append(head)
                target = head.split(b" ")[1].decode("latin-1")
                route = self.routes.get(target, self.default)
                with self.lock:
                    self.waiting += 1
                    self.most_waiting = max(self.most_waiting, self.waiting)
                if callable(route):
                    if not route(conn, self):
                        return
                    conn.settimeout(2)
                    continue
                self.answering()
                conn.sendall(route)
                if b"\r\nconnection: close\r\n" in route.split(b"\r\n\r\n", 1)[0].lower() + b"\r\n":
                    return
                conn.settimeout(2)
        except (OSError, ValueError):
            pass
        finally:
            conn.close()

    def answering(self):
        """Called by a route as it starts its answer: the request waits no more."""
        with self.lock:
            self.waiting -= 1

    def close(self):
        self.stopping = True
        self.thread.join()
        self.sock.close()


def ok(body, extra=b""):
    if isinstance(body, str):
        body = body.encode("latin-1")
    return b"HTTP/1.1 200 OK\r\n" + extra + b"Content-Length: %d\r\n\r\n" % len(body) + body


def stall(conn, stub):
    while not stub.stopping:
        time.sleep(0.05)


def flood(conn, stub):
    conn.sendall(b"HTTP/1.1 200 OK\r\n\r\n")
    chunk = b"x" * 65536
    try:
        while not stub.stopping:
            conn.sendall(chunk)
    except OSError:
        pass


def slow(response, seconds):
    """A route that answers after a delay."""
    def route(conn, stub):
        time.sleep(seconds)
        stub.answering()
        conn.sendall(response)
        return True
    return route


def failing(times, failure, success):
    """A route that answers failure the first times it is asked, then success."""
    asked = [0]

    def route(conn, stub):
        asked[0] += 1
        conn.sendall(failure if asked[0] <= times else success)
        return True
    return route
