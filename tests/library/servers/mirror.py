#!/usr/bin/python3
"""A loopback mirror of a Project Gutenberg site: serves the files of a folder.

Usage: mirror.py FOLDER
Prints the port it listens on (one line), then serves until stopped. A missing file is
answered 404 with an HTML page; everything else is the file as it is.
"""

import functools
import sys
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer


class Handler(SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass


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
