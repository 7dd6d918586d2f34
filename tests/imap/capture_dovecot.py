#!/usr/bin/env python3
"""Records what the mail host's Dovecot IMAP sends in a few sessions, byte for
byte, into tests/data/imap/*.server: the transcripts tst_imapparser reads.
Run it (as root, the mail host started) only to record them again:

    tests/imap/capture_dovecot.py [OUTPUT_DIR]

Each file holds the server's side of one session; the client's side is in
the session functions below.
"""
import base64
import os
import socket
import ssl
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MAILHOST = os.path.join(HERE, "..", "..", "scripts", "mailhost")


def mailhost(*args):
    return subprocess.run(["bash", MAILHOST, *args], check=True,
                          stdout=subprocess.PIPE, text=True).stdout.strip()


CA = mailhost("ca")


def tls(sock):
    return ssl.create_default_context(cafile=CA).wrap_socket(sock, server_hostname="localhost")


class Session:
    """One connection; `server` collects every byte the server sent."""

    def __init__(self, host="127.0.0.1", port=993, secure=True):
        self.sock = socket.create_connection((host, port), timeout=10)
        if secure:
            self.sock = tls(self.sock)
        self.server = b""

    def read(self, until, seconds=10):
        """Reads until `until` has arrived, or for `seconds` where it is None."""
        self.sock.settimeout(seconds)
        got = b""
        try:
            while until is None or until not in got:
                data = self.sock.recv(1 << 20)
                if not data:
                    break
                got += data
        except socket.timeout:
            if until is not None:
                raise
        self.server += got
        return got

    def send(self, line, until):
        self.sock.sendall(line + b"\r\n")
        return self.read(until)


def plain(user, password):
    return base64.b64encode(b"\0" + user + b"\0" + password)


def examine_fetch_expunge():
    """Greeting, AUTHENTICATE with SASL-IR, EXAMINE, searches, fetches of
    headers, an envelope and a body, SELECT, flags and both expunges."""
    mailhost("clear")
    mailhost("seed", "3", "300")
    mailhost("count")
    mailhost("deliver", 'Hello "quoted" world')
    mailhost("deliver-seen", "Read already")
    s = Session()
    s.read(b"\r\n")
    s.send(b"A0001 AUTHENTICATE PLAIN " + plain(b"qbtest", b"qbpass"), b"A0001 ")
    s.send(b"A0002 EXAMINE INBOX", b"A0002 ")
    first = int(s.send(b"A0003 UID SEARCH UID 2:*", b"A0003 ").split()[2])
    s.send(b"A0004 UID SEARCH RETURN (ALL) UNSEEN", b"A0004 ")
    s.send(b"A0005 UID FETCH 1:* (UID FLAGS RFC822.SIZE "
           b"BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID)])", b"A0005 ")
    s.send(b"A0006 FETCH 4 (UID ENVELOPE BODY.PEEK[])", b"A0006 ")
    s.send(b"A0007 FETCH 5 (FLAGS INTERNALDATE BODYSTRUCTURE)", b"A0007 ")
    s.send(b"A0008 CLOSE", b"A0008 ")
    s.send(b"A0009 SELECT INBOX", b"A0009 ")
    s.send(b"A0010 UID STORE %d:%d +FLAGS.SILENT (\\Deleted)" % (first, first + 1), b"A0010 ")
    s.send(b"A0011 UID EXPUNGE %d:%d" % (first, first + 1), b"A0011 ")
    s.send(b"A0012 STORE 1 +FLAGS (\\Deleted)", b"A0012 ")
    s.send(b"A0013 EXPUNGE", b"A0013 ")
    s.send(b"A0014 LOGOUT", b"A0014 ")
    return s.server


def idle_kick():
    """Two refused logins (the second with a synchronising literal), PLAIN
    without SASL-IR, then IDLE while mail arrives and goes, and a kick."""
    mailhost("clear")
    mailhost("seed", "2", "300")
    mailhost("count")
    s = Session()
    s.read(b"\r\n")
    s.send(b"A0001 AUTHENTICATE PLAIN " + plain(b"qbtest", b"wrong"), b"A0001 ")
    s.send(b"A0002 LOGIN qbtest {6}", b"\r\n")
    s.send(b"wrong!", b"A0002 ")
    s.send(b"A0003 AUTHENTICATE PLAIN", b"\r\n")
    s.send(plain(b"qbtest", b"qbpass"), b"A0003 ")
    s.send(b"A0004 SELECT INBOX", b"A0004 ")
    s.send(b"A0005 IDLE", b"\r\n")
    mailhost("deliver", "Pushed")
    s.read(b"RECENT\r\n")
    mailhost("deliver-seen", "Pushed read")
    s.read(b"RECENT\r\n")
    mailhost("expunge", "1")
    s.read(b"EXPUNGE\r\n")
    s.send(b"DONE", b"A0005 ")
    s.send(b"A0006 UID FETCH 1:* (UID FLAGS)", b"A0006 ")
    s.send(b"A0007 IDLE", b"\r\n")
    mailhost("kick")
    s.read(None, 2)
    return s.server


def uidvalidity_changed():
    """LITERAL+ login, then in IDLE the UIDVALIDITY changes and a message
    arrives: the session is told with a FETCH and a BYE."""
    s = Session()
    s.read(b"\r\n")
    s.send(b"A0001 LOGIN {6+}\r\nqbtest {6+}\r\nqbpass", b"A0001 ")
    s.send(b"A0002 EXAMINE INBOX", b"A0002 ")
    s.send(b"A0003 IDLE", b"\r\n")
    mailhost("uidvalidity", str(int(mailhost("uidvalidity")) + 1))
    mailhost("deliver", "After the change")
    s.read(None, 2)
    return s.server


def restart():
    """IDLE while IMAP restarts."""
    s = Session()
    s.read(b"\r\n")
    s.send(b"A0001 LOGIN qbtest qbpass", b"A0001 ")
    s.send(b"A0002 EXAMINE INBOX", b"A0002 ")
    s.send(b"A0003 IDLE", b"\r\n")
    mailhost("restart-imap")
    s.read(None, 2)
    return s.server


def starttls_required():
    """Port 143 as a client on another machine sees it: LOGINDISABLED, both
    logins refused before STARTTLS, then after it the login goes through."""
    s = Session("127.0.0.2", 143, secure=False)
    s.read(b"\r\n")
    s.send(b"A0001 LOGIN qbtest qbpass", b"A0001 ")
    s.send(b"A0002 AUTHENTICATE PLAIN " + plain(b"qbtest", b"qbpass"), b"A0002 ")
    s.send(b"A0003 STARTTLS", b"A0003 ")
    s.sock = tls(s.sock)
    s.send(b"A0004 CAPABILITY", b"A0004 ")
    s.send(b"A0005 AUTHENTICATE PLAIN " + plain(b"qbtest", b"qbpass"), b"A0005 ")
    s.send(b"A0006 LOGOUT", b"A0006 ")
    return s.server


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "data", "imap")
    os.makedirs(out, exist_ok=True)
    for name, session in (("examine-fetch-expunge", examine_fetch_expunge),
                          ("idle-kick", idle_kick),
                          ("uidvalidity-changed", uidvalidity_changed),
                          ("restart", restart),
                          ("starttls-required", starttls_required)):
        with open(os.path.join(out, name + ".server"), "wb") as f:
            f.write(session())
    mailhost("clear")


main()
