#!/usr/bin/python3
"""A loopback HTTP server whose faults the tests choose by path.

Usage: httpserver.py REQUEST_LOG [CERTIFICATE KEY]
With a certificate and its key it speaks HTTPS. Prints the port it listens on (one line), then serves until stopped. Every request is
appended to REQUEST_LOG as "METHOD PATH USER-AGENT" before it is answered.

Paths (query arguments in brackets):
  /file[size]            size bytes of a fixed pattern, with Content-Length
  /nolength[size]        the same without Content-Length; the end of the body is the close
  /drip[size,ms]         Content-Length, then one byte every ms milliseconds
  /stall[size,after]     Content-Length size, sends `after` bytes and then nothing
  /reset[size,after]     Content-Length size, sends `after` bytes and resets the connection
  /missing               404 with an HTML page
  /loop                  302 to itself, for ever
  /redirect[to]          302 to the address `to`
  /busy                  429 with Retry-After
  /empty                 200 with no body
  /nothing               closes the connection without an answer
  /files/NAME            the file NAME of REQUEST_LOG's folder, with Content-Length; 404 without
"""

import os
import socket
import ssl
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlparse

PATTERN = bytes(range(32, 127))  # byte i of every body is 32 + i % 95


def body(size):
    whole, rest = divmod(size, len(PATTERN))
    return PATTERN * whole + PATTERN[:rest]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    log_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def note(self):
        with self.log_lock, open(sys.argv[1], "a") as log:
            log.write(f"{self.command} {self.path} {self.headers.get('User-Agent', '')}\n")

    def answer(self, code, headers, content=b""):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if content:
            self.wfile.write(content)

    def stream(self, size, chunk=95 * 2760):
        block = body(min(size, chunk))
        sent = 0
        while sent < size:
            piece = block[: min(len(block), size - sent)]
            self.wfile.write(piece)
            sent += len(piece)

    def do_GET(self):
        self.note()
        url = urlparse(self.path)
        args = {k: v[0] for k, v in parse_qs(url.query).items()}
        size = int(args.get("size", "1000"))
        path = url.path
        if path == "/file":
            self.answer(200, [("Content-Length", str(size))])
            self.stream(size)
        elif path == "/nolength":
            self.close_connection = True
            self.answer(200, [("Connection", "close")])
            self.stream(size)
        elif path == "/drip":
            delay = int(args.get("ms", "50")) / 1000.0
            self.answer(200, [("Content-Length", str(size))])
            for byte in body(size):
                self.wfile.write(bytes([byte]))
                self.wfile.flush()
                time.sleep(delay)
        elif path in ("/stall", "/reset"):
            after = int(args.get("after", "0"))
            self.answer(200, [("Content-Length", str(size))], body(after))
            self.wfile.flush()
            if path == "/reset":
                self.connection.setsockopt(
                    socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
                self.close_connection = True
                return
            # Hold the connection open until the client gives up.
            while self.connection.recv(1):
                pass
            self.close_connection = True
        elif path == "/missing":
            page = b"<html><head><title>404 Not Found</title></head><body>" + b"x" * 6000 + \
                b"</body></html>"
            self.answer(404, [("Content-Type", "text/html"), ("Content-Length", str(len(page)))],
                        page)
        elif path == "/loop":
            self.answer(302, [("Location", "/loop"), ("Content-Length", "0")])
        elif path == "/redirect":
            self.answer(302, [("Location", args["to"]), ("Content-Length", "0")])
        elif path == "/busy":
            page = b"slow down"
            self.answer(429, [("Retry-After", "120"), ("Content-Length", str(len(page)))], page)
        elif path == "/nothing":
            self.close_connection = True
        elif path.startswith("/files/"):
            name = os.path.basename(path[len("/files/"):])
            try:
                with open(os.path.join(os.path.dirname(sys.argv[1]), name), "rb") as served:
                    content = served.read()
            except OSError:
                self.answer(404, [("Content-Length", "0")])
                return
            self.answer(200, [("Content-Length", str(len(content)))], content)
        elif path == "/empty":
            self.answer(200, [("Content-Length", "0")])
        else:
            self.answer(400, [("Content-Length", "0")])


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if len(sys.argv) > 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
