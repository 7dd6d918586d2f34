#!/usr/bin/env bash
# The local mail host as the other live tests rely on it: seeded messages come
# out of POP3 in order, mail sent through SMTP lands in the same mailbox, the
# SMTP server refuses a bare LF, and the TLS ports behave as independent
# clients (mpop, msmtp, swaks, openssl) expect. Expects the servers to run.
set -euo pipefail
if [ -z "${QB_MAILHOST:-}" ]; then
    [ "${QB_REQUIRE_PREREQUISITES:-}" = 1 ] && { echo "FAIL: QB_MAILHOST is not set" >&2; exit 1; }
    echo "skipped: QB_MAILHOST is not set"
    exit 77
fi
mailhost() { bash "$QB_MAILHOST" "$@"; }
work="$(mktemp -d)"
trap 'mailhost clear || true; mailhost cert good || true; mailhost starttls on || true; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

mailhost status
mailhost clear
[ "$(mailhost count)" = 0 ] || fail "clear left messages"

# Seeded messages: the requested size, in the server's order 1..3.
mailhost seed 3 5000
[ "$(mailhost count)" = 3 ] || fail "seed 3 gave $(mailhost count) messages"
i=0
while read -r file; do
    i=$((i + 1))
    [ "$(stat -c %s "$file")" = 5000 ] || fail "message $i is $(stat -c %s "$file") bytes"
    grep -q "^Subject: Message $i"$'\r'"\$" "$file" || fail "message $i is not in place $i"
done < <(mailhost list)
[ "$i" = 3 ] || fail "list gave $i files"

mpop --host=127.0.0.1 --port=110 --auth=user --user=qbtest --passwordeval='echo qbpass' \
    --tls=off --keep=on --only-new=off --received-header=off --uidls-file="$work/uidls" \
    --delivery=mbox,"$work/mbox" -q || fail "mpop could not retrieve"
[ "$(grep -c '^Subject: Message [123]' "$work/mbox")" = 3 ] || fail "mpop did not get 3 messages"
[ "$(grep '^Subject:' "$work/mbox" | tr -d '\r' | tr '\n' ' ')" = \
    "Subject: Message 1 Subject: Message 2 Subject: Message 3 " ] || fail "mpop order differs"
[ "$(mailhost count)" = 3 ] || fail "--keep=on retrieval changed the mailbox"

# Added files keep their content, bare LF becoming CR LF, after the others.
printf 'Subject: added\n\nfirst\r\nsecond\n' >"$work/added.eml"
mailhost add "$work/added.eml"
[ "$(mailhost count)" = 4 ] || fail "add did not add one message"
cmp -s "$(mailhost list | tail -n 1)" <(printf 'Subject: added\r\n\r\nfirst\r\nsecond\r\n') ||
    fail "added message differs"

# SMTP delivers into the same mailbox.
printf 'Subject: live check\r\nTo: qbtest@localhost\r\n\r\nhello\r\n' >"$work/sent.eml"
msmtp --host=127.0.0.1 --port=25 --auth=off --tls=off --from=me@example.test \
    -- qbtest@localhost <"$work/sent.eml" || fail "msmtp could not send"
mailhost wait-count 5 30
grep -q '^Subject: live check' "$(mailhost list | tail -n 1)" || fail "sent mail not delivered last"

# A bare LF in the data is refused (the server is hardened against smuggling).
reply="$(timeout 20 bash -c '
    exec 3<>/dev/tcp/127.0.0.1/25
    printf "HELO t\r\nMAIL FROM:<me@example.test>\r\nRCPT TO:<qbtest@localhost>\r\nDATA\r\n" >&3
    sleep 1
    printf "Subject: bare\r\n\r\none\ntwo\r\n.\r\nQUIT\r\n" >&3
    cat <&3' || true)"
grep -q '^550 5.5.2 .*bare <LF>' <<<"$reply" || fail "bare LF not refused: $reply"
sleep 1
[ "$(mailhost count)" = 5 ] || fail "mail with a bare LF was delivered"

# Fault injection: with POP3 stopped the mailbox and its order stay readable.
before="$(mailhost list)"
mailhost stop-pop3
if mailhost status 2>/dev/null; then fail "status succeeds with POP3 stopped"; fi
[ "$(mailhost list)" = "$before" ] || fail "order differs while POP3 is stopped"
mailhost start-pop3
mailhost status

# TLS: POP3 on 995, submission on 587 (STARTTLS) and 465, trusted through the
# CA that `mailhost ca` names; port 25 stays plain without AUTH.
ca="$(mailhost ca)"
[ -s "$ca" ] || fail "no CA file at $ca"
mailhost clear
logins="$(mailhost logins)"
send() { # port starttls auth password subject
    printf 'Subject: %s\r\nTo: qbtest@localhost\r\n\r\nsecure\r\n' "$5" |
        msmtp --host=127.0.0.1 --port="$1" --tls=on --tls-starttls="$2" --tls-trust-file="$ca" \
            --auth="$3" --user=qbtest --passwordeval="echo $4" --from=me@example.test \
            -- qbtest@localhost 2>&1
}
send 587 on plain qbpass "over 587" >/dev/null || fail "msmtp could not send over 587"
send 465 off login qbpass "over 465" >/dev/null || fail "msmtp could not send over 465"
swaks --server 127.0.0.1 --port 587 --tls --auth PLAIN --auth-user qbtest --auth-password qbpass \
    --from me@example.test --to qbtest@localhost --header 'Subject: over swaks' >/dev/null ||
    fail "swaks could not send over 587"
grep -q '535 5.7.8' <<<"$(send 587 on plain wrong "refused" || true)" || fail "a wrong password was not refused with 535"
reply="$(send 587 on off x "anonymous" || true)"
grep -q '554 5.7.1' <<<"$reply" || fail "587 took mail without AUTH: $reply"
mailhost wait-count 3 30
rm -f "$work/uidls"
mpop --host=127.0.0.1 --port=995 --auth=user --user=qbtest --passwordeval='echo qbpass' \
    --tls=on --tls-starttls=off --tls-trust-file="$ca" --keep=on --only-new=off \
    --received-header=off --uidls-file="$work/uidls" --delivery=mbox,"$work/secure" -q ||
    fail "mpop could not retrieve over 995"
[ "$(grep '^Subject:' "$work/secure" | tr -d '\r' | sort | tr '\n' ' ')" = \
    "Subject: over 465 Subject: over 587 Subject: over swaks " ] || fail "secure mail differs"
# POP3 once, SMTP three times plus the wrong password.
[ "$(mailhost logins)" = $((logins + 5)) ] || fail "logins: $(mailhost logins), expected $((logins + 5))"
ehlo() { swaks --server 127.0.0.1 --port "$1" --quit-after EHLO 2>&1 | grep -E 'STARTTLS|AUTH' || true; }
[ -z "$(ehlo 25)" ] || fail "port 25 offers $(ehlo 25)"

# Certificates: what openssl's verification says on each TLS port.
verify() { # port [starttls protocol]
    openssl s_client -connect "127.0.0.1:$1" ${2:+-starttls "$2"} -CAfile "$ca" \
        -verify_hostname localhost </dev/null 2>/dev/null | sed -n 's/^Verify return code: //p'
}
sha() { openssl s_client -connect 127.0.0.1:995 </dev/null 2>/dev/null | openssl x509 -noout -fingerprint; }
for c in "good:0 (ok)" "othername:62 (hostname mismatch)" "untrusted:18 (self-signed certificate)"; do
    mailhost cert "${c%%:*}"
    for p in 995 465 "587 smtp"; do
        # shellcheck disable=SC2086
        [ "$(verify $p)" = "${c#*:}" ] || fail "cert ${c%%:*} on $p: $(verify $p)"
    done
done
first="$(sha)"
mailhost cert untrusted2
[ "$(verify 995)" = "18 (self-signed certificate)" ] && [ "$(sha)" != "$first" ] ||
    fail "untrusted2 is not a second self-signed certificate"
mailhost start
[ "$(verify 465)" = "0 (ok)" ] || fail "start did not go back to the good certificate"

# STARTTLS switched off: msmtp refuses to go on, and no credentials arrive.
mailhost starttls off
[ -z "$(ehlo 587)" ] || fail "587 still offers $(ehlo 587)"
logins="$(mailhost logins)"
if send 587 on plain qbpass "no tls" >/dev/null; then fail "msmtp sent without STARTTLS"; fi
[ "$(mailhost logins)" = "$logins" ] || fail "credentials reached the server without TLS"
mailhost starttls on
[ "$(ehlo 587)" = "$(printf '%s\n' '<-  250-STARTTLS')" ] || fail "587 offers $(ehlo 587) after starttls on"

# A port held by someone else is refused and left alone.
mailhost stop-pop3
python3 -c 'import socket,time; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1",995)); s.listen(); time.sleep(60)' &
holder=$!
sleep 0.5
if out="$(mailhost start-pop3 2>&1)"; then fail "start-pop3 took a held port"; fi
grep -q "port 995 is held by PID(s) $holder" <<<"$out" || fail "refusal does not name the holder: $out"
kill -0 "$holder" || fail "the holder of port 995 was stopped"
kill "$holder"
wait "$holder" 2>/dev/null || true
# Started under a caller's lock, the daemon does not keep that lock held.
exec 8>"$work/lock"
flock 8
mailhost start-pop3
exec 8>&-
flock -n "$work/lock" true || fail "Dovecot holds its caller's lock"

mailhost clear
[ "$(mailhost count)" = 0 ] || fail "clear left messages"
echo "mail host live check passed"
