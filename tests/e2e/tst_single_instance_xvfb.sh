#!/usr/bin/env bash
# One program per settings, with the real binary on a private display with a
# notification area: a second start with the same settings ends at once and
# brings the running one's Options window back; after a crash the next start
# runs; a start with settings of its own (another home, or a copy in another
# folder) runs beside the first.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
qb_require trayer

alive() { # pid
    local state
    state="$(ps -o stat= -p "$1" 2>/dev/null || true)"
    [ -n "$state" ] && [[ "$state" != Z* ]]
}
options_shown() { [ -n "$(qb_first_window --onlyvisible --name '^Options$')" ]; }

# A second start in the foreground: it must end by itself, with status 0.
second_start() { # folder
    local status=0
    (cd "$1" && exec timeout 20 ./quillbeacon 2>>"$work/stderr.txt") || status=$?
    [ "$status" -eq 0 ] || fail "a second start ended with status $status"
}

qb_trayer || fail "trayer's panel did not appear"
qb_e2e_start_program
first=$app
win="$(qb_window Options 30)"
[ -n "$win" ] || fail "the Options window never came up"
# OK hides it (the icon is in the notification area).
xdotool windowfocus --sync "$win" key alt+o
waitfor 10 eval '! options_shown' || fail "OK did not hide Options"

started=$(date +%s%N)
second_start "$work"
echo "the second start ended after $((($(date +%s%N) - started) / 1000000)) ms"
waitfor 10 options_shown || fail "the second start did not bring Options back"
alive "$first" || fail "the first program ended"

# A crash leaves its socket behind: the next start runs all the same, and
# a start after it finds it.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
qb_e2e_start_program
again=$app
sleep 2
alive "$again" || fail "the start after a crash ended: $(cat "$work/stderr.txt")"
second_start "$work"
alive "$again" || fail "the start after a crash ended when asked to show itself"

# Settings of their own: another home, and a copy in another folder.
mkdir "$work/copy"
cp "$work/quillbeacon" "$work/copy/quillbeacon"
(cd "$work/copy" && exec ./quillbeacon 2>>"$work/stderr.txt") &
copy=$!
QB_XVFB_PIDS+=("$copy")
(export HOME="$work/other" XDG_CONFIG_HOME="$work/other/config" XDG_DATA_HOME="$work/other/data" &&
    cd "$work" && exec ./quillbeacon 2>>"$work/stderr.txt") &
other=$!
QB_XVFB_PIDS+=("$other")
sleep 3
alive "$copy" || fail "a copy in another folder did not keep running"
alive "$other" || fail "a start with another home did not keep running"
alive "$again" || fail "the first program ended when the others started"
echo "1 passed, 0 failed"
