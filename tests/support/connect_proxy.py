#!/usr/bin/env python3
"""A small HTTP proxy for tests, on 127.0.0.1 only.

    connect_proxy.py --log FILE [--credentials USER:PASSWORD] [--lifetime S]

Prints its port as the first line of standard output. "CONNECT host:port"
opens a tunnel; a request for an absolute URL is forwarded with the path
alone. Only loopback destinations are served (else 403); with --credentials
a request without them in Proxy-Authorization is answered 407. Requests are
logged as the fault server logs them.
"""
import argparse
import base64
import json
import select
import socket
import socketserver
import sys
import threading
import time
from urllib.parse import urlsplit

from fault_server import parse_headers, read_head

IDLE_SECONDS = 30
LOG_LOCK = threading.Lock()
LOOPBACK = ("127.0.0.1", "localhost", "::1", "[::1]")


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


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        conn.settimeout(IDLE_SECONDS)
        lines, rest = read_head(conn)
        if not lines:
            return
        headers = parse_headers(lines)
        with LOG_LOCK, open(self.server.log, "a", encoding="utf-8") as log:
            log.write(json.dumps({"request_line": lines[0], "headers": headers,
                                  "body": "", "overlap": 0}) + "\n")
        if self.server.credentials is not None:
            given = [v for n, v in headers if n.lower() == "proxy-authorization"]
            wanted = "Basic " + base64.b64encode(
                self.server.credentials.encode("latin-1")).decode("ascii")
            if not given or given[0] != wanted:
                conn.sendall(b"HTTP/1.0 407 Proxy Authentication Required\r\n"
                             b"Proxy-Authenticate: Basic realm=\"test\"\r\n\r\n")
                return
        parts = lines[0].split(" ")
        if len(parts) != 3:
            conn.sendall(b"HTTP/1.0 400 Bad Request\r\n\r\n")
            return
        method, target, _ = parts
        if method == "CONNECT":
            host, _, port = target.rpartition(":")
            path = None
        else:
            url = urlsplit(target)
            host, port = url.hostname or "", str(url.port or 80)
            path = (url.path or "/") + ("?" + url.query if url.query else "")
        if host not in LOOPBACK or not port.isdigit():
            conn.sendall(b"HTTP/1.0 403 Forbidden\r\n\r\n")
            return
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        except OSError:
            conn.sendall(b"HTTP/1.0 502 Bad Gateway\r\n\r\n")
            return
        with upstream:
            if path is None:
                conn.sendall(b"HTTP/1.0 200 Connection established\r\n\r\n")
            else:
                kept = [f"{n}: {v}" for n, v in headers
                        if not n.lower().startswith("proxy-")]
                head = "\r\n".join([f"{method} {path} HTTP/1.0"] + kept) + "\r\n\r\n"
                upstream.sendall(head.encode("latin-1"))
            if rest:
                upstream.sendall(rest)
            relay(conn, upstream)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--credentials")
    parser.add_argument("--lifetime", type=float, default=120)
    args = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    server.log = args.log
    server.credentials = args.credentials
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    time.sleep(args.lifetime)
    server.shutdown()
    sys.exit(0)


if __name__ == "__main__":
    main()
