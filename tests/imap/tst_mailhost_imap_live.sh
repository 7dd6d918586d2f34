#!/usr/bin/env bash
# The IMAP side of the local mail host as the IMAP tests rely on it, checked
# with an independent client (Python's imaplib and ssl): logins over 993 and
# over 143 with STARTTLS, LOGINDISABLED where a client is not on the server's
# own address, IDLE told of a delivery, a delivery already \Seen, kick and
# restart ending sessions with BYE while POP3 stays up, frozen sessions, a
# changed UIDVALIDITY, the certificate switch on 993 and 143, and the login
# count. Expects the servers to run.
set -euo pipefail
if [ -z "${QB_MAILHOST:-}" ]; then
    [ "${QB_REQUIRE_PREREQUISITES:-}" = 1 ] && { echo "FAIL: QB_MAILHOST is not set" >&2; exit 1; }
    echo "skipped: QB_MAILHOST is not set"
    exit 77
fi
mailhost() { bash "$QB_MAILHOST" "$@"; }
trap 'mailhost thaw-imap || true; mailhost cert good || true; mailhost clear || true' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

mailhost status
mailhost clear
ca="$(mailhost ca)"

# Certificates: 993 and 143 (after STARTTLS) follow the switch.
verify() { # port [starttls protocol]
    openssl s_client -connect "127.0.0.1:$1" ${2:+-starttls "$2"} -CAfile "$ca" \
        -verify_hostname localhost </dev/null 2>/dev/null | sed -n 's/^Verify return code: //p'
}
mailhost cert untrusted
[ "$(verify 993)" = "18 (self-signed certificate)" ] || fail "cert untrusted on 993: $(verify 993)"
[ "$(verify 143 imap)" = "18 (self-signed certificate)" ] || fail "cert untrusted on 143: $(verify 143 imap)"
mailhost cert good
[ "$(verify 993)" = "0 (ok)" ] && [ "$(verify 143 imap)" = "0 (ok)" ] || fail "cert good not back on 993/143"

/usr/bin/python3 - "$QB_MAILHOST" "$ca" <<'EOF'
import imaplib, poplib, re, socket, ssl, subprocess, sys

MAILHOST, CA = sys.argv[1:3]
ctx = ssl.create_default_context(cafile=CA)


def mailhost(*args):
    return subprocess.run(["bash", MAILHOST, *args], check=True, stdout=subprocess.PIPE,
                          text=True).stdout.strip()


def fail(why):
    sys.exit("FAIL: " + why)


def expect(condition, why):
    if not condition:
        fail(why)


class Raw:
    """A bare client for what imaplib cannot do: IDLE, and waiting on a socket."""

    def __init__(self):
        self.sock = ctx.wrap_socket(socket.create_connection(("127.0.0.1", 993), timeout=30),
                                    server_hostname="localhost")
        self.got = b""
        self.until(b"\r\n")

    def until(self, text, seconds=30):
        self.sock.settimeout(seconds)
        while text not in self.got:
            data = self.sock.recv(65536)
            if not data:
                raise EOFError(self.got)
            self.got += data
        line, _, self.got = self.got.partition(text)
        return line + text

    def command(self, line, tag):
        """Sends a command; its responses up to and with the tagged one."""
        self.sock.sendall(line + b"\r\n")
        got = b""
        while not got.startswith(tag + b" ") and b"\r\n" + tag + b" " not in got:
            got += self.until(b"\r\n")
        return got

    def closed(self):
        try:
            self.until(b"\x00never", 10)
        except EOFError as e:
            return e.args[0]
        return None


def logins():
    return int(mailhost("logins"))


# 993, and 143 with STARTTLS: loopback counts as secured, so 143 offers
# plain logins before STARTTLS too; IDLE is on.
before = logins()
imap = imaplib.IMAP4_SSL("127.0.0.1", 993, ssl_context=ctx)
expect("IDLE" in imap.capabilities and "AUTH=PLAIN" in imap.capabilities, f"993: {imap.capabilities}")
imap.login("qbtest", "qbpass")
expect(imap.select("INBOX")[1] == [b"0"], "INBOX is not empty")
imap.logout()
imap = imaplib.IMAP4("127.0.0.1", 143)
expect("STARTTLS" in imap.capabilities and "LOGINDISABLED" not in imap.capabilities,
       f"143 from 127.0.0.1: {imap.capabilities}")
imap.starttls(ssl_context=ctx)
imap.login("qbtest", "qbpass")
imap.logout()
# The same listener for a client on another machine: no login before TLS,
# and the password never reaches the server's authentication.
imap = imaplib.IMAP4("127.0.0.2", 143)
expect("LOGINDISABLED" in imap.capabilities and "AUTH=PLAIN" not in imap.capabilities,
       f"143 on 127.0.0.2: {imap.capabilities}")
try:
    imap.login("qbtest", "qbpass")
    fail("127.0.0.2:143 took a login before STARTTLS")
except imaplib.IMAP4.error as e:
    expect("PRIVACYREQUIRED" in str(e), f"refusal: {e}")
expect(logins() == before + 2, f"logins {logins()}, expected {before + 2}")
imap.starttls(ssl_context=ctx)
expect("AUTH=PLAIN" in imap.capabilities, f"after STARTTLS: {imap.capabilities}")
imap.login("qbtest", "qbpass")
imap.logout()
expect(logins() == before + 3, f"logins {logins()}, expected {before + 3}")

# IDLE hears of a delivery; one delivered already read shows \Seen.
idle = Raw()
idle.command(b"a LOGIN qbtest qbpass", b"a")
idle.command(b"b SELECT INBOX", b"b")
idle.sock.sendall(b"c IDLE\r\n")
idle.until(b"+ idling\r\n")
mailhost("deliver", "First pushed")
expect(idle.until(b" EXISTS\r\n").endswith(b"* 1 EXISTS\r\n"), "no EXISTS for the delivery")
mailhost("deliver-seen", "Read elsewhere")
expect(idle.until(b" EXISTS\r\n").endswith(b"* 2 EXISTS\r\n"), "no EXISTS for the read one")
idle.sock.sendall(b"DONE\r\n")
idle.until(b"c OK")
idle.until(b"\r\n")
flags = idle.command(b"d FETCH 1:2 (FLAGS BODY.PEEK[HEADER.FIELDS (SUBJECT)])", b"d")
expect(re.search(rb"\* 1 FETCH \(FLAGS \(\\Recent\) .*Subject: First pushed", flags, re.S) and
       re.search(rb"\* 2 FETCH \(FLAGS \(\\Seen \\Recent\) .*Subject: Read elsewhere", flags, re.S),
       f"flags and subjects: {flags}")
shown = mailhost("flags").splitlines()
expect(len(shown) == 2 and not shown[0].endswith("\\Seen") and shown[1].endswith(" \\Seen"),
       f"mailhost flags: {shown}")
expect(mailhost("count") == "2", "count is not 2")

# Frozen: the connection stays open and nothing answers; thawed, it does.
idle.sock.sendall(b"e NOOP\r\n")
idle.until(b"e OK")
idle.until(b"\r\n")
mailhost("freeze-imap")
idle.sock.sendall(b"f NOOP\r\n")
try:
    idle.until(b"f OK", 2)
    fail("a frozen session answered")
except socket.timeout:
    pass
mailhost("thaw-imap")
idle.until(b"f OK")
idle.until(b"\r\n")

# A kick ends the session with BYE.
idle.sock.sendall(b"g IDLE\r\n")
idle.until(b"+ idling\r\n")
mailhost("kick")
rest = idle.closed()
expect(rest is not None and b"* BYE" in rest, f"kick: {rest}")

# UIDVALIDITY: changed, as a new session sees it; POP3 still sees the mail.
validity = int(mailhost("uidvalidity"))
mailhost("uidvalidity", str(validity + 7))
imap = imaplib.IMAP4_SSL("127.0.0.1", 993, ssl_context=ctx)
imap.login("qbtest", "qbpass")
imap.select("INBOX", readonly=True)
expect(imap.response("UIDVALIDITY")[1] == [str(validity + 7).encode()], "UIDVALIDITY unchanged")
imap.logout()
expect(mailhost("uidvalidity") == str(validity + 7), "uidvalidity does not read it back")

# A restart of IMAP: BYE to the open session, then logins again, while a
# POP3 session opened before it goes on.
pop = poplib.POP3("127.0.0.1", 110, timeout=30)
pop.user("qbtest")
pop.pass_("qbpass")
idle = Raw()
idle.command(b"a LOGIN qbtest qbpass", b"a")
idle.command(b"b EXAMINE INBOX", b"b")
mailhost("restart-imap")
rest = idle.closed()
expect(rest is not None and b"* BYE Server shutting down." in rest, f"restart: {rest}")
expect(pop.stat()[0] == 2, "POP3 lost its session or its messages")
pop.quit()
imap = imaplib.IMAP4_SSL("127.0.0.1", 993, ssl_context=ctx)
imap.login("qbtest", "qbpass")
imap.logout()
print("IMAP mail host checks passed")
EOF
mailhost status
mailhost clear
[ "$(mailhost count)" = 0 ] || fail "clear left messages"
echo "IMAP mail host live check passed"
