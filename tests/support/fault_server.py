#!/usr/bin/env python3
"""A scripted HTTP server for fault tests, and a proxy, on 127.0.0.1 only.

    fault_server.py --scenario FILE [--log FILE] [--lifetime S]

Prints its port as the first line of standard output, then serves until
killed or --lifetime seconds (default 120) have passed.

The scenario is {"routes": {TARGET: STEPS, ...}}; other keys are left alone.
A request is matched by its whole target ("http://h:81/x" through a proxy),
then its path without the query, then the longest key "PREFIX*" its path
begins with, then "*"; without a route it is answered 404. STEPS run in
order on the connection, which is then closed:
    {"send": "text"}                 Latin-1 text; "{port}" stands for the
                                     server's port, "{next}" for the last
                                     number in the target plus one (or 1)
    {"counted": [FIRST, LAST]}       those bytes of the counted document,
                                     1000 bytes "000|001|...|249|"
    {"repeat": "text", "count": N}   the text N times
    {"gzip": "text", "count": N}     the text N times, gzip-compressed as it goes
    {"trickle": "text", "count": N, "every": S}   the text N times, S s apart
    {"sleep": S}                     a pause, ended by the client's close
    {"hold": S}                      the connection kept S s or until closed
    {"reset": true}                  a close with a reset (RST)
    {"keep": true}                   the next request read on the connection
    {"forward": true}                as a proxy: a tunnel for "CONNECT host:port",
                                     else the request with the path alone, to
                                     loopback only (else 403); then relays
A route may instead be {"sequence": [STEPS, ...]}: its n-th request runs the
n-th list, the last one every later request; or {"if_header": [NAME, TEXT],
"then": ROUTE, "else": ROUTE}, by whether a header NAME holds TEXT.
With "tls": {"cert": PEM, "key": PEM} every connection is TLS and closes
without a notice; with "close_in_handshake": true it closes after the
client's first handshake message.

Each request is appended to --log as a JSON line: {"request_line",
"headers": [[name, value], ...], "body", "overlap": requests for the same
target still being answered at its arrival, "connection": its connection's
number from 1, "open": connections open then, its own included, "time": its
arrival on the server's monotonic clock}.
"""
import argparse
import json
import re
import select
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import zlib
from urllib.parse import urlsplit

MAX_HEAD = 65536
IDLE_SECONDS = 30
LOOPBACK = ("127.0.0.1", "localhost", "::1", "[::1]")
COUNTED = "".join("%03d|" % i for i in range(250)).encode()
LOG_LOCK = threading.Lock()
STATE_LOCK = threading.Lock()


def log_request(path, request):
    if path:
        with LOG_LOCK, open(path, "a", encoding="utf-8") as log:
            log.write(json.dumps(request) + "\n")


def read_head(conn):
    """The request's lines and the bytes after its head, or (None, b"")."""
    data = b""
    while b"\r\n\r\n" not in data and b"\n\n" not in data:
        chunk = conn.recv(4096) if len(data) <= MAX_HEAD else b""
        if not chunk:
            return None, b""
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n" if b"\r\n\r\n" in data else b"\n\n")
    lines = head.decode("latin-1").replace("\r\n", "\n").split("\n")
    return lines, rest


def parse_headers(lines):
    return [[n.strip(), v.strip()] for n, _, v in (line.partition(":") for line in lines[1:])]


def read_request(conn):
    """The request line, headers and body, or None when the client sent nothing."""
    lines, body = read_head(conn)
    if lines is None:
        return None
    headers = parse_headers(lines)
    length = max([int(v) for n, v in headers if n.lower() == "content-length" and v.isdigit()]
                 + [0])
    while len(body) < length:
        chunk = conn.recv(4096)
        if not chunk:
            break
        body += chunk
    return {"request_line": lines[0], "headers": headers, "body": body.decode("latin-1")}


def request_target(request_line):
    parts = request_line.split(" ")
    return parts[1] if len(parts) > 1 else ""


def resolve_route(route, key, request, served):
    """The steps a route gives for the request."""
    if isinstance(route, dict) and "if_header" in route:
        name, text = route["if_header"]
        held = any(h.lower() == name.lower() and text in v for h, v in request["headers"])
        branch = "then" if held else "else"
        return resolve_route(route[branch], key + "|" + branch, request, served)
    if isinstance(route, dict) and "sequence" in route:
        with STATE_LOCK:
            n = served.get(key, 0)
            served[key] = n + 1
        lists = route["sequence"]
        return lists[min(n, len(lists) - 1)]
    return route


def find_route(routes, request, served):
    """The steps for the request; `served` counts the requests per route."""
    target = request_target(request["request_line"])
    path = urlsplit(target).path if "://" in target else target.split("?")[0]
    prefixes = [key for key in routes if key.endswith("*") and len(key) > 1
                and path.startswith(key[:-1])]
    for key in [target, path] + sorted(prefixes, key=len, reverse=True) + ["*"]:
        if key in routes:
            return resolve_route(routes[key], key, request, served)
    return [{"send": "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\nnot found"}]


def client_left(conn, seconds):
    """Waits `seconds`; True as soon as the client has closed the connection."""
    end = time.monotonic() + seconds
    while True:
        left = end - time.monotonic()
        if left <= 0:
            return False
        readable, _, _ = select.select([conn], [], [], left)
        if readable:
            try:
                if not conn.recv(4096, socket.MSG_PEEK):
                    return True
            except OSError:
                return True
            time.sleep(min(left, 0.01))  # unread bytes: no close to see yet


def next_number(target):
    numbers = re.findall(r"[0-9]+", target)
    return str(int(numbers[-1]) + 1) if numbers else "1"


def relay(a, b):
    """Copies bytes both ways until one side closes or both stay idle."""
    sockets = [a, b]
    while True:
        ready, _, _ = select.select(sockets, [], [], IDLE_SECONDS)
        if not ready:
            return
        for s in ready:
            try:
                data = s.recv(65536)
            except OSError:
                return
            if not data:
                return
            (b if s is a else a).sendall(data)


def forward(conn, request):
    """Passes the request on as a proxy does."""
    parts = request["request_line"].split(" ")
    if len(parts) != 3:
        conn.sendall(b"HTTP/1.0 400 Bad Request\r\n\r\n")
        return
    method, target, _ = parts
    if method == "CONNECT":
        host, _, port = target.rpartition(":")
    else:
        url = urlsplit(target)
        host, port = url.hostname or "", str(url.port or 80)
    if host not in LOOPBACK or not port.isdigit():
        conn.sendall(b"HTTP/1.0 403 Forbidden\r\n\r\n")
        return
    try:
        upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
    except OSError:
        conn.sendall(b"HTTP/1.0 502 Bad Gateway\r\n\r\n")
        return
    with upstream:
        if method == "CONNECT":
            conn.sendall(b"HTTP/1.0 200 Connection established\r\n\r\n")
        else:
            path = (url.path or "/") + ("?" + url.query if url.query else "")
            kept = [f"{n}: {v}" for n, v in request["headers"]
                    if not n.lower().startswith("proxy-")]
            head = "\r\n".join([f"{method} {path} HTTP/1.0"] + kept) + "\r\n\r\n"
            upstream.sendall(head.encode("latin-1"))
        upstream.sendall(request["body"].encode("latin-1"))
        relay(conn, upstream)


def run_steps(conn, steps, port, request):
    """True when the connection is kept for another request."""
    target = request_target(request["request_line"])
    for step in steps:
        if "send" in step:
            text = step["send"].replace("{port}", str(port))
            text = text.replace("{next}", next_number(target))
            conn.sendall(text.encode("latin-1"))
        elif "repeat" in step or "gzip" in step or "trickle" in step:
            kind = next(k for k in ("repeat", "gzip", "trickle") if k in step)
            packer = zlib.compressobj(9, zlib.DEFLATED, 31) if kind == "gzip" else None
            piece = step[kind].encode("latin-1")
            for _ in range(int(step["count"])):
                conn.sendall(packer.compress(piece) if packer else piece)
                if kind == "trickle" and client_left(conn, float(step["every"])):
                    return False
            if packer:
                conn.sendall(packer.flush())
        elif "counted" in step:
            first, last = step["counted"]
            conn.sendall(COUNTED[first:last + 1])
        elif "sleep" in step:
            if client_left(conn, float(step["sleep"])):
                return False
        elif "hold" in step:
            conn.settimeout(float(step["hold"]))
            try:
                while conn.recv(4096):
                    pass
            except (socket.timeout, OSError):
                pass
        elif step.get("reset"):
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
            return False
        elif step.get("keep"):
            return True
        elif step.get("forward"):
            forward(conn, request)
            return False
    return False


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        conn.settimeout(30)
        try:
            if self.server.tls is not None and self.server.close_in_handshake:
                conn.recv(4096)
                return
            if self.server.tls is not None:
                conn = self.server.tls.wrap_socket(conn, server_side=True)
        except OSError:
            return
        with STATE_LOCK:
            self.server.connections += 1
            self.server.open += 1
            number = self.server.connections
        try:
            while self.serve_one(conn, number):
                pass
        except OSError:
            pass
        finally:
            with STATE_LOCK:
                self.server.open -= 1
            if conn is not self.request:
                conn.close()

    def serve_one(self, conn, number):
        """Answers one request; True when the connection stays for another."""
        request = read_request(conn)
        if request is None:
            return False
        request["connection"] = number
        request["time"] = time.monotonic()
        target = request_target(request["request_line"])
        active = self.server.active
        with STATE_LOCK:
            request["overlap"] = active.get(target, 0)
            request["open"] = self.server.open
            active[target] = request["overlap"] + 1
        try:
            log_request(self.server.log_path, request)
            steps = find_route(self.server.routes, request, self.server.served)
            return run_steps(conn, steps, self.server.server_address[1], request)
        finally:
            with STATE_LOCK:
                active[target] -= 1


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--log", default="")
    parser.add_argument("--lifetime", type=float, default=120)
    args = parser.parse_args()
    with open(args.scenario, encoding="utf-8") as f:
        scenario = json.load(f)
    server = Server(("127.0.0.1", 0), Handler)
    server.routes = scenario.get("routes", {})
    server.log_path = args.log
    server.served = {}
    server.active = {}
    server.connections = 0
    server.open = 0
    server.tls = None
    server.close_in_handshake = False
    if "tls" in scenario:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(scenario["tls"]["cert"], scenario["tls"]["key"])
        server.close_in_handshake = bool(scenario["tls"].get("close_in_handshake"))
    serve(server, args.lifetime)


def serve(server, lifetime):
    """Prints the port, then serves until killed or `lifetime` seconds have passed."""
    print(server.server_address[1], flush=True)
    timer = threading.Timer(lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    server.serve_forever(poll_interval=0.1)
    server.server_close()


if __name__ == "__main__":
    sys.exit(main())
