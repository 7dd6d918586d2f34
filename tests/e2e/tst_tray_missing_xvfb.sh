#!/usr/bin/env bash
# A desktop without a notification area (bare Xvfb): the program says so once,
# in a message that does not hold up start-up, Options comes up with its
# "&File" menu, OK puts it in the task bar instead of out of reach, and
# "&Exit" from that menu still ends the program through the orderly exit.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
qb_require xwininfo xprop

count_shown() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

qb_e2e_start_program

# The notice needs no answer: start-up goes on to the splash and Options.
[ -n "$(qb_window Quillbeacon 10)" ] || fail "no message about the missing notification area"
options="$(qb_window Options 20)"
[ -n "$options" ] || fail "the Options window never came up"
[ "$(count_shown '^Quillbeacon$')" -eq 1 ] || fail "the message was shown more than once"

# OK minimizes the window (with no window manager here, it stays mapped and
# asks to be iconic); a hidden window could never come back.
xdotool windowfocus --sync "$options" key alt+o
sleep 0.5
xwininfo -id "$options" | grep -q IsViewable || fail "OK hid the Options window"
xprop -id "$options" WM_HINTS | grep -q Iconic || fail "OK did not minimize the Options window"

xdotool windowfocus --sync "$options" key alt+f
sleep 0.5
xdotool key e
waitfor 10 app_gone || fail "&Exit did not end the program"
[ -f "$work/Debug.txt" ] || fail "no Debug.txt beside the binary"
echo "1 passed, 0 failed"
