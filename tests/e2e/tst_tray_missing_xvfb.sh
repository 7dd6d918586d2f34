#!/usr/bin/env bash
# A desktop without a notification area (bare Xvfb): the program says so once,
# in a message that does not hold up start-up, Options comes up with its
# "&File" menu, and "&Exit" from that menu still ends the program through the
# orderly exit.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

count_shown() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

qb_e2e_start_program

# The notice needs no answer: start-up goes on to the splash and Options.
[ -n "$(qb_window Quillbeacon 10)" ] || fail "no message about the missing notification area"
options="$(qb_window Options 20)"
[ -n "$options" ] || fail "the Options window never came up"
[ "$(count_shown '^Quillbeacon$')" -eq 1 ] || fail "the message was shown more than once"

xdotool windowfocus --sync "$options" key alt+f
sleep 0.5
xdotool key e
waitfor 10 app_gone || fail "&Exit did not end the program"
[ -f "$work/Debug.txt" ] || fail "no Debug.txt beside the binary"
echo "1 passed, 0 failed"
