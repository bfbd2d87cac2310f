#!/usr/bin/env python3
"""SMTP servers on 127.0.0.1 for the mail tests.

    smtp_server.py RECORDS_DIR

Starts one server per mode on a free port and prints one line "MODE PORT" per server, then
"READY". Runs until standard input is closed (the test program ends).

Modes:
  login   offers AUTH LOGIN and PLAIN without TLS; accepts user "robot", password "s3cret"
  plain   offers only AUTH PLAIN (same account)
  noauth  offers no AUTH at all
  helo    refuses EHLO, so a client has to fall back to HELO; no AUTH

Every server refuses recipients whose local part starts with "refuse".

Each connection gets a folder RECORDS_DIR/<mode>-<nnnn> holding:
  commands        one line per command received: the verb, with the argument for EHLO,
                  HELO, MAIL and RCPT, the mechanism for AUTH; "LOGIN-OK <user>" after a
                  successful authentication; "CLOSED" when the connection has ended
and, once a message has been accepted:
  envelope_from   the MAIL FROM address
  envelope_rcpt   the RCPT TO addresses, one a line
  raw.eml         the message exactly as received (after dot-unstuffing)
  header_<name>   for From, To, Cc, Bcc, Subject, Content-Type, Content-Transfer-Encoding:
                  the decoded header as a mail reader shows it (UTF-8), absent when missing
  addresses_<to|cc|bcc>
                  the parsed addresses, one a line: display name, TAB, address (UTF-8)
  content_type, charset
  body            the decoded body (UTF-8)
  defects         parser defects, one a line (empty when the message is well formed)
"""

import asyncio
import itertools
import os
import sys
import threading
from email import policy
from email.parser import BytesParser

from aiosmtpd.smtp import SMTP

USER = b"robot"
PASSWORD = b"s3cret"

_counter = itertools.count(1)
_counter_lock = threading.Lock()


def _write(path, text):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def record_message(folder, envelope):
    raw = envelope.original_content
    with open(os.path.join(folder, "raw.eml"), "wb") as f:
        f.write(raw)
    _write(os.path.join(folder, "envelope_from"), envelope.mail_from)
    _write(os.path.join(folder, "envelope_rcpt"), "".join(r + "\n" for r in envelope.rcpt_tos))

    message = BytesParser(policy=policy.default).parsebytes(raw)
    for name in ("From", "To", "Cc", "Bcc", "Subject", "Content-Type",
                 "Content-Transfer-Encoding"):
        if name in message:
            _write(os.path.join(folder, "header_" + name), str(message[name]))
    for name in ("To", "Cc", "Bcc"):
        if name in message:
            lines = "".join(f"{a.display_name}\t{a.addr_spec}\n"
                            for a in message[name].addresses)
            _write(os.path.join(folder, "addresses_" + name.lower()), lines)
    _write(os.path.join(folder, "content_type"), message.get_content_type())
    _write(os.path.join(folder, "charset"), message.get_content_charset() or "")
    # The parser keeps the CR LF of the wire; a reader shows line ends alike.
    _write(os.path.join(folder, "body"), message.get_content().replace("\r\n", "\n"))
    defects = list(message.defects)
    for part in message.walk():
        defects.extend(part.defects)
    for name in message.keys():
        defects.extend(getattr(message[name], "defects", ()))
    _write(os.path.join(folder, "defects"), "".join(f"{type(d).__name__}\n" for d in defects))


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("refuse"):
            return "550 5.1.1 Recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        record_message(session.record_folder, envelope)
        return "250 Message accepted"


class RecordingSMTP(SMTP):
    """An SMTP server that writes down the commands of each connection."""

    def __init__(self, mode, records, **kwargs):
        super().__init__(Handler(), **kwargs)
        self._mode = mode
        self._records = records

    def connection_made(self, transport):
        super().connection_made(transport)
        with _counter_lock:
            number = next(_counter)
        folder = os.path.join(self._records, f"{self._mode}-{number:04d}")
        os.makedirs(folder)
        self.session.record_folder = folder
        self._note("CONNECT")

    def connection_lost(self, error):
        self._note("CLOSED")
        super().connection_lost(error)

    def _note(self, line):
        with open(os.path.join(self.session.record_folder, "commands"), "a",
                  encoding="utf-8") as f:
            f.write(line + "\n")

    async def smtp_EHLO(self, hostname):
        self._note(f"EHLO {hostname}")
        if self._mode == "helo":
            await self.push("502 5.5.1 EHLO not accepted here")
            return
        await super().smtp_EHLO(hostname)

    async def smtp_HELO(self, hostname):
        self._note(f"HELO {hostname}")
        await super().smtp_HELO(hostname)

    async def smtp_AUTH(self, arg):
        self._note("AUTH " + (arg.split()[0].upper() if arg else ""))
        await super().smtp_AUTH(arg)
        if self.session.authenticated:
            self._note("LOGIN-OK " + self.session.auth_data.login.decode())

    async def smtp_MAIL(self, arg):
        self._note(f"MAIL {arg}")
        await super().smtp_MAIL(arg)

    async def smtp_RCPT(self, arg):
        self._note(f"RCPT {arg}")
        await super().smtp_RCPT(arg)

    async def smtp_DATA(self, arg):
        self._note("DATA")
        await super().smtp_DATA(arg)

    async def smtp_QUIT(self, arg):
        self._note("QUIT")
        await super().smtp_QUIT(arg)


def check_account(mechanism, login, password):
    return login == USER and password == PASSWORD


def server_options(mode):
    if mode == "login":
        return dict(auth_require_tls=False, auth_callback=check_account)
    if mode == "plain":
        return dict(auth_require_tls=False, auth_callback=check_account,
                    auth_exclude_mechanism=["LOGIN"])
    # AUTH is offered only over TLS, which these servers do not have: no AUTH at all.
    return dict(auth_require_tls=True)


async def start(loop, records):
    ports = []
    for mode in ("login", "plain", "noauth", "helo"):
        options = server_options(mode)
        server = await loop.create_server(
            lambda mode=mode, options=options: RecordingSMTP(mode, records, loop=loop,
                                                             hostname="mail.test", **options),
            host="127.0.0.1", port=0)
        ports.append((mode, server.sockets[0].getsockname()[1]))
    return ports


def main():
    records = sys.argv[1]
    loop = asyncio.new_event_loop()
    ports = loop.run_until_complete(start(loop, records))
    threading.Thread(target=loop.run_forever, daemon=True).start()
    for mode, port in ports:
        print(mode, port)
    print("READY", flush=True)
    sys.stdin.read()  # until the test program closes the pipe
    os._exit(0)


if __name__ == "__main__":
    main()
