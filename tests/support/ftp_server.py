#!/usr/bin/python3
"""FTP server for the tests: pyftpdlib on 127.0.0.1 with a port chosen by the system.

    ftp_server.py STATE_DIR

STATE_DIR/users.json holds the accounts, {"name": {"password": ..., "home": ...,
"perm": ...}}; it is read again whenever a login comes in, so a test can add an account to a
running server. Leave "w" out of "perm" to make the server refuse STOR; with
"refuse_port": true it refuses PORT (active data connections) for that account; with
"refuse_stor": [names] it refuses STOR of a file of one of those names (any folder), while
the account's other uploads go through.

Every command received is appended to STATE_DIR/commands.log as one line
"<session>\t<user>\t<command line>" (the user is "-" until USER names one); the end of a
session adds the line "(closed)". Once listening, the server prints "PORT <n>" on
standard output. It stops when its standard input closes, so it never outlives the
test program that started it.
"""

import json
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class FileAuthorizer(DummyAuthorizer):
    """The accounts of users.json, read again at each login (the file is tiny)."""

    def __init__(self, path):
        super().__init__()
        self._path = path

    def _refresh(self):
        try:
            with open(self._path, encoding="utf-8") as f:
                users = json.load(f)
        except FileNotFoundError:
            return
        table = {}
        for name, user in users.items():
            os.makedirs(user["home"], exist_ok=True)
            table[name] = {"pwd": user["password"], "home": os.path.realpath(user["home"]),
                           "perm": user.get("perm", "elradfmwMT"), "operms": {},
                           "msg_login": "Login successful.", "msg_quit": "Goodbye.",
                           "refuse_port": user.get("refuse_port", False),
                           "refuse_stor": user.get("refuse_stor", [])}
        self.user_table = table

    def has_user(self, username):
        self._refresh()
        return username in self.user_table

    def validate_authentication(self, username, password, handler):
        self._refresh()
        super().validate_authentication(username, password, handler)


class RecordingHandler(FTPHandler):
    log_file = None
    next_session = 0
    # A refused login answers at once: tests must not wait.
    auth_failed_timeout = 0
    banner = "test server ready."

    def on_connect(self):
        RecordingHandler.next_session += 1
        self._session = RecordingHandler.next_session
        self._user = "-"

    def _record(self, text):
        RecordingHandler.log_file.write("%d\t%s\t%s\n" % (self._session, self._user, text))
        RecordingHandler.log_file.flush()

    def pre_process_command(self, line, cmd, arg):
        if cmd == "USER" and arg:
            self._user = arg
        self._record(line)
        super().pre_process_command(line, cmd, arg)

    def ftp_PORT(self, line):
        if self.authorizer.user_table.get(self.username, {}).get("refuse_port"):
            self.respond("500 Active data connections are refused.")
            return
        super().ftp_PORT(line)

    def ftp_STOR(self, file, mode="w"):
        refused = self.authorizer.user_table.get(self.username, {}).get("refuse_stor", [])
        if os.path.basename(file) in refused:
            self.respond("550 Storing this file is refused.")
            return
        return super().ftp_STOR(file, mode)

    def on_disconnect(self):
        self._record("(closed)")


def stop_when_parent_goes(server):
    sys.stdin.read()
    os._exit(0)


def main():
    state_dir = sys.argv[1]
    logging.basicConfig(level=logging.CRITICAL)
    RecordingHandler.authorizer = FileAuthorizer(os.path.join(state_dir, "users.json"))
    RecordingHandler.log_file = open(os.path.join(state_dir, "commands.log"), "a", encoding="utf-8",
                                     errors="replace")
    server = FTPServer(("127.0.0.1", 0), RecordingHandler)
    print("PORT %d" % server.address[1], flush=True)
    threading.Thread(target=stop_when_parent_goes, args=(server,), daemon=True).start()
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
