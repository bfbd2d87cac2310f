#!/usr/bin/python3
"""FTP server for the tests: pyftpdlib on 127.0.0.1 with a port chosen by the system.

    ftp_server.py STATE_DIR

STATE_DIR/users.json holds the accounts, {"name": {"password": ..., "home": ...,
"perm": ...}}; it is read again whenever a login comes in, so a test can add an account to a
running server. Leave "w" out of "perm" to make the server refuse STOR; with
"refuse_port": true it refuses PORT (active data connections) for that account; with
"refuse_stor": [names] it refuses STOR of a file of one of those names (any folder), while
the account's other uploads go through.
"login_folder" (relative to "home", which stays the top the account can reach) is where
its sessions start, so that ".." means something there. "fault" makes uploads of that account fail as real servers do (active mode):

    stor_silent       STOR gets no reply at all
    no_final_reply    the data is stored, the reply after it never comes
    no_read           STOR is answered, the data connection is never read
    no_connect_back   PORT is answered, the server never connects back; STOR gets 150
    quota_after_data  the data is read, then "552 Disk quota exceeded." (file dropped)
    reset             STOR is answered, then the data and control connections are reset

Every command received is appended to STATE_DIR/commands.log as one line
"<session>\t<user>\t<command line>" (the user is "-" until USER names one); the end of a
session adds the line "(closed)". Once listening, the server prints "PORT <n>" on
standard output. It stops when its standard input closes, so it never outlives the
test program that started it.
"""

import json
import logging
import os
import socket
import struct
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
                           "fault": user.get("fault", ""),
                           "login_folder": user.get("login_folder", ""),
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

    def _account(self):
        return self.authorizer.user_table.get(self.username, {})

    def _fault(self):
        return self._account().get("fault", "")

    def on_login(self, username):
        folder = self._account().get("login_folder")
        if folder:
            self.fs.cwd = "/" + folder.strip("/")

    def ftp_PORT(self, line):
        if self._account().get("refuse_port"):
            self.respond("500 Active data connections are refused.")
            return
        if self._fault() == "no_connect_back":
            self.respond("200 Active data connection established.")
            return
        super().ftp_PORT(line)

    def ftp_STOR(self, file, mode="w"):
        refused = self.authorizer.user_table.get(self.username, {}).get("refuse_stor", [])
        if os.path.basename(file) in refused:
            self.respond("550 Storing this file is refused.")
            return
        fault = self._fault()
        if fault == "stor_silent":
            return None
        if fault == "no_connect_back":
            self.respond("150 File status okay. About to open data connection.")
            return None
        if fault == "no_read" and self.data_channel is not None:
            self.respond("125 Data connection already open. Transfer starting.")
            # Marked as set up so that it is kept, and never read.
            self.data_channel._initialized = True
            return None
        if fault == "reset" and self.data_channel is not None:
            self.respond("125 Data connection already open. Transfer starting.")
            self._reset(self.data_channel)
            self._reset(self)
            return None
        return super().ftp_STOR(file, mode)

    @staticmethod
    def _reset(channel):
        # A close with a zero linger time sends RST, as a dropped connection does.
        channel.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        channel.close()

    def respond(self, resp, logfun=logging.debug):
        if resp.startswith("226 ") and self._fault() == "no_final_reply":
            return
        if resp.startswith("226 ") and self._fault() == "quota_after_data":
            resp = "552 Disk quota exceeded."
        super().respond(resp, logfun)

    def on_file_received(self, file):
        if self._fault() == "quota_after_data":
            os.remove(file)

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
