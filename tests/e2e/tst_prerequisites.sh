#!/usr/bin/env bash
# A missing prerequisite (here the mail host): a quick run skips with exit
# status 77 and says why; with QB_REQUIRE_PREREQUISITES=1 the same test fails
# and names what is missing, so a run that must be complete cannot pass.
set -euo pipefail
source "$(dirname "$0")/../../scripts/xvfb.sh"
qb_require xvfb-run xdotool trayer xwininfo xprop import
down="$(mktemp)"
trap 'rm -f "$down"' EXIT
echo 'exit 1' >"$down" # a mail host that is never running

run() { # env settings...: sets $status and $out of the mailbox test
    status=0
    out="$(env "$@" QB_MAILHOST="$down" bash "$(dirname "$0")/tst_mailbox_xvfb_live.sh" 2>&1)" \
        || status=$?
}
run -u QB_REQUIRE_PREREQUISITES
[ "$status" -eq 77 ] && [ "$out" = "skipped: the mail host is not running" ] \
    || { echo "FAIL: a quick run ended with $status: $out"; exit 1; }
run QB_REQUIRE_PREREQUISITES=1
[ "$status" -eq 1 ] && grep -q '^FAIL: the mail host is not running' <<<"$out" \
    || { echo "FAIL: a required run ended with $status: $out"; exit 1; }
echo "1 passed, 0 failed"
