#!/usr/bin/python3
"""A loopback FTP server for anonymous reading of one folder.

Usage: ftpserver.py FOLDER
Prints the port it listens on (one line), then serves until stopped.
"""

import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(sys.argv[1])
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.masquerade_address = "127.0.0.1"
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
