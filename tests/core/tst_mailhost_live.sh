#!/usr/bin/env bash
# The local mail host as the other live tests rely on it: seeded messages come
# out of POP3 in order, mail sent through SMTP lands in the same mailbox, and
# the SMTP server refuses a bare LF. Expects the servers to be running.
set -euo pipefail
if [ -z "${QB_MAILHOST:-}" ]; then
    echo "skipped: QB_MAILHOST is not set"
    exit 0
fi
mailhost() { bash "$QB_MAILHOST" "$@"; }
work="$(mktemp -d)"
trap 'mailhost clear || true; rm -rf "$work"' EXIT
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

mailhost clear
[ "$(mailhost count)" = 0 ] || fail "clear left messages"
echo "mail host live check passed"
