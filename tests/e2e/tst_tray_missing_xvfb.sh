#!/usr/bin/env bash
# A desktop without a notification area (bare Xvfb): the program says so once,
# in a message that does not hold up start-up, Options comes up with its
# "&File" menu, and "&Exit" from that menu still ends the program through the
# orderly exit.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
qb_e2e_require Xvfb xdotool xwininfo

shown() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }
count_shown() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

qb_e2e_xvfb

qb_e2e_start_program

# The notice needs no answer: start-up goes on to the splash and Options.
waitfor 10 shown '^Quillbeacon$' || fail "no message about the missing notification area"
waitfor 20 shown '^Options$' || fail "the Options window never came up"
[ "$(count_shown '^Quillbeacon$')" -eq 1 ] || fail "the message was shown more than once"

options="$(xdotool search --onlyvisible --name '^Options$' | head -n 1)"
xdotool windowfocus --sync "$options" key alt+f
sleep 0.5
xdotool key e
waitfor 10 app_gone || fail "&Exit did not end the program"
[ -f "$work/Debug.txt" ] || fail "no Debug.txt beside the binary"
echo "1 passed, 0 failed"
