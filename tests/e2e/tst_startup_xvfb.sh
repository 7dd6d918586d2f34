#!/usr/bin/env bash
# The real binary on a real X server: it comes up (the splash, then Options),
# and "&Exit" from the menu bar ends it through the orderly exit, which leaves
# one block in "Debug.txt" beside the binary.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

printf 'earlier' >"$work/Debug.txt"
qb_e2e_start_program
# No settings yet: the splash comes first, and Options after five seconds.
# (--onlyvisible: the window is mapped and viewable.)
win="$(qb_window Options 30)"
[ -n "$win" ] || fail "the Options window never came up"
xdotool windowfocus --sync "$win" key alt+f
sleep 0.5
xdotool key e
waitfor 5 app_gone || fail "&Exit did not end the program"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"

printf 'earlier\r\n\r\n-----------\r\n\r\n' | cmp - "$work/Debug.txt" \
    || fail "Debug.txt holds: $(cat -A "$work/Debug.txt")"
echo "1 passed, 0 failed"
