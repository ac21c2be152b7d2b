"""A small HTTP server of the tests' own on 127.0.0.1 that can misbehave.

Each request's raw bytes (up to the empty line) are recorded in order. A
route maps a path to a function(conn, path) that writes whatever it likes
to the socket; the server closes the connection afterwards.
"""
import socket
import socketserver
import threading
import time


def body_bytes(size: int) -> bytes:
    """A deterministic body whose bytes differ from position to position."""
    pattern = bytes((i * 7 + i // 251) & 0xFF for i in range(65536))
    return (pattern * (size // len(pattern) + 1))[:size]


def response(status: str, headers: list[str], body: bytes = b"") -> bytes:
    return ("HTTP/1.0 " + status + "\r\n" + "".join(h + "\r\n" for h in headers) + "\r\n").encode() + body


class LoopbackServer:
    def __init__(self):
        self.requests: list[bytes] = []
        self.routes = {}
        self.lock = threading.Lock()
        outer = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                conn = self.request
                conn.settimeout(20)
                data = b""
                try:
                    while b"\r\n\r\n" not in data:
                        chunk = conn.recv(4096)
                        if not chunk:
                            return
                        data += chunk
                except OSError:
                    return
                with outer.lock:
                    outer.requests.append(data)
                line = data.split(b"\r\n", 1)[0].decode("latin-1")
                parts = line.split(" ")
                target = parts[1] if len(parts) > 1 else "/"
                path = target.split("://", 1)[1][target.split("://", 1)[1].find("/"):] if "://" in target else target
                handler = outer.match(path)
                try:
                    if handler is None:
                        conn.sendall(response("404 Not Found", ["Content-Length: 0"]))
                    else:
                        handler(conn, path)
                except OSError:
                    pass  # the client closed first (a size request reads only the header)

        class Server(socketserver.ThreadingTCPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.server = Server(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def match(self, path: str):
        best = None
        for prefix, handler in self.routes.items():
            if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
                best = (prefix, handler)
        return best[1] if best else None

    def route(self, prefix: str, handler):
        self.routes[prefix] = handler

    def url(self, path: str) -> str:
        return f"http://127.0.0.1:{self.port}{path}"

    def request_lines(self) -> list[str]:
        with self.lock:
            return [r.split(b"\r\n", 1)[0].decode("latin-1") for r in self.requests]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


# --- ready-made behaviours ---------------------------------------------------

def serve_file(size: int, delay_per_piece: float = 0.0, piece: int = 65536, extra_headers=()):
    body = body_bytes(size)

    def handler(conn, path):
        conn.sendall(response("200 OK", [f"Content-Length: {size}", *extra_headers]))
        for start in range(0, size, piece):
            conn.sendall(body[start:start + piece])
            if delay_per_piece:
                time.sleep(delay_per_piece)
    return handler


def fixed(raw: bytes):
    def handler(conn, path):
        conn.sendall(raw)
    return handler


def silent(seconds: float):
    def handler(conn, path):
        time.sleep(seconds)
    return handler


def cut_body(announced: int, sent: int):
    body = body_bytes(sent)

    def handler(conn, path):
        conn.sendall(response("200 OK", [f"Content-Length: {announced}"]) + body)
        conn.shutdown(socket.SHUT_RDWR)
    return handler
