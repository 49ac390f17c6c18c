#!/usr/bin/python3
"""A loopback mirror of a Project Gutenberg site: serves the files of a folder.

Usage: mirror.py FOLDER
Prints the port it listens on (one line), then serves until stopped. A missing file is
answered 404 with an HTML page; everything else is the file as it is, or 304 when it has
not changed since the request's If-Modified-Since.

A file NAME.busy makes the server answer each request for NAME with the status and
Retry-After of its first line ("429 1"), which it then drops: one line, one busy answer.
Every request is logged in FOLDER/requests.log as "PATH STATUS IF-MODIFIED-SINCE? USER-AGENT".
"""

import os

import functools
import sys
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer


class Handler(SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def log_request(self, code="-", size="-"):
        status = code.value if hasattr(code, "value") else code
        with open(os.path.join(self.directory, "requests.log"), "a", encoding="utf-8") as log:
            log.write("%s %s %s %s\n" % (self.path, status,
                                          "ims" if self.headers.get("If-Modified-Since") else "-",
                                          self.headers.get("User-Agent", "-")))

    def do_GET(self):
        busy = self.translate_path(self.path) + ".busy"
        if os.path.exists(busy):
            with open(busy, encoding="utf-8") as f:
                lines = f.read().splitlines()
            with open(busy, "w", encoding="utf-8") as f:
                f.write("\n".join(lines[1:]))
            if not lines[1:]:
                os.remove(busy)
            if lines and lines[0].strip():
                status, _, after = lines[0].partition(" ")
                self.send_response(int(status))
                if after.strip():
                    self.send_header("Retry-After", after.strip())
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        super().do_GET()


def main():
    handler = functools.partial(Handler, directory=sys.argv[1])
    server = ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
