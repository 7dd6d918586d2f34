#!/usr/bin/env bash
# The real binary with a real notification area: on an Xvfb display with the
# XEmbed tray host trayer, the program's icon is embedded in the panel; a
# right and a left click on it open the "&File" menu at the pointer; "&Exit"
# ends the program through the orderly exit, which writes "Debug.txt" beside
# the binary.
# With QB_TRAY_SCREENSHOT=path the open menu is also saved as a picture.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
qb_require trayer xwininfo

qb_trayer || fail "trayer's panel did not appear"
qb_e2e_start_program

qb_tray_icon 20 || fail "the icon never appeared in the notification area"
cx=$((X + WIDTH / 2))
cy=$((Y + HEIGHT / 2))
echo "icon embedded at ${WIDTH}x${HEIGHT}+$X+$Y"

# The popup menu: a shown override-redirect window of the program, taller
# than the icon (the embedded icon is one too).
menu_window() {
    local win X Y WIDTH HEIGHT
    for win in $(xdotool search --onlyvisible --class quillbeacon 2>/dev/null); do
        qb_geometry "$win"
        if [ "$HEIGHT" -gt 60 ] && xwininfo -id "$win" | grep -q 'Override Redirect State: yes'; then
            echo "$win"
            return 0
        fi
    done
    return 1
}
menu_open() { [ -n "$(menu_window)" ]; }
menu_closed() { ! menu_open; }

# No settings yet: the splash comes first, then Options. The menu works while
# the splash is up and stays open when the splash goes; Options comes once
# the menu has closed.
options_up() { [ -n "$(xdotool search --onlyvisible --name '^Options$' 2>/dev/null)" ]; }
options_up && fail "Options came up before the splash went"
xdotool mousemove "$cx" "$cy" click 3
waitfor 10 menu_open || fail "a right click on the icon opened no menu while the splash was up"
sleep 6 # past the splash's five seconds
menu_open || fail "the menu closed when the splash went"
options_up && fail "Options came up over the open menu"
xdotool key Escape
waitfor 10 menu_closed || fail "Escape did not close the menu"
waitfor 20 options_up || fail "the Options window never came up"

# The right button opens the menu; Escape closes it without a command.
xdotool mousemove "$cx" "$cy" click 3
waitfor 10 menu_open || fail "a right click on the icon opened no menu"
xdotool key Escape
waitfor 10 menu_closed || fail "Escape did not close the menu"
app_gone && fail "the program ended after Escape"

# The left button opens it at the pointer: it starts at the pointer's height
# (the screen's edge may push it to the left).
xdotool mousemove "$cx" "$cy" click 1
waitfor 10 menu_open || fail "a left click on the icon opened no menu"
qb_geometry "$(menu_window)"
echo "menu: ${WIDTH}x${HEIGHT}+$X+$Y"
[ "$Y" -eq "$cy" ] || fail "the menu opened at y=$Y, not at the pointer (y=$cy)"
if [ -n "${QB_TRAY_SCREENSHOT:-}" ] && command -v import >/dev/null; then
    sleep 0.3
    import -window root -crop 400x180+624+0 +repage "$QB_TRAY_SCREENSHOT"
    echo "screenshot: $QB_TRAY_SCREENSHOT"
fi

xdotool key e
waitfor 10 app_gone || fail "&Exit did not end the program"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"

[ -f "$work/Debug.txt" ] || fail "no Debug.txt beside the binary"
# One block: the run's log, then the separator line.
[ "$(grep -c $'^-----------\r$' "$work/Debug.txt")" -eq 1 ] \
    || fail "Debug.txt holds: $(cat -A "$work/Debug.txt")"
tail -c 17 "$work/Debug.txt" | cmp - <(printf '\r\n-----------\r\n\r\n') \
    || fail "Debug.txt does not end in the separator: $(cat -A "$work/Debug.txt")"
echo "1 passed, 0 failed"
