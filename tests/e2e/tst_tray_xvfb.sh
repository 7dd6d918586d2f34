#!/usr/bin/env bash
# The real binary with a real notification area: on an Xvfb display with the
# XEmbed tray host trayer, the program's icon is embedded in the panel; a
# right and a left click on it open the "&File" menu at the pointer; "&Exit"
# ends the program through the orderly exit, which writes "Debug.txt" beside
# the binary.
# With QB_TRAY_SCREENSHOT=path the open menu is also saved as a picture.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
qb_e2e_require Xvfb trayer xdotool xwininfo

fail() {
    echo "FAIL: $*"
    local win
    for win in $(xdotool search --onlyvisible --class quillbeacon 2>/dev/null); do
        echo "  window $win: $(xwininfo -id "$win" | grep -E 'xwininfo|Absolute|Width|Height|Override' | tr -s ' \n' ' ')"
    done
    [ -s "$work/stderr.txt" ] && sed 's/^/  program: /' "$work/stderr.txt"
    exit 1
}

qb_e2e_xvfb
qb_e2e_trayer
qb_e2e_start_program

# The icon: a window of the program embedded in trayer's panel. Its absolute
# geometry is the last field of xwininfo's line, as +X+Y.
icon_line() { xwininfo -tree -id "$panel" | grep '("quillbeacon"' | head -n 1; }
icon_found() { [ -n "$(icon_line)" ]; }
waitfor 20 icon_found || fail "the icon never appeared in the notification area"
line="$(icon_line)"
icon_viewable() { xwininfo -id "$(awk '{ print $1 }' <<<"$line")" | grep -q IsViewable; }
waitfor 10 icon_viewable || fail "the icon in the panel was never shown"
size="$(awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { print $i; exit } }' <<<"$line")"
abs="$(awk '{ print $NF }' <<<"$line")"
w="${size%%x*}"
rest="${size#*x}"
h="${rest%%+*}"
ax="$(cut -d+ -f2 <<<"$abs")"
ay="$(cut -d+ -f3 <<<"$abs")"
cx=$((ax + w / 2))
cy=$((ay + h / 2))
echo "icon embedded at ${w}x${h}+$ax+$ay"

# The popup menu: a shown override-redirect window of the program, taller
# than the icon (the embedded icon is one too).
menu_window() {
    local win info
    for win in $(xdotool search --onlyvisible --class quillbeacon 2>/dev/null); do
        info="$(xwininfo -id "$win")"
        if grep -q 'Override Redirect State: yes' <<<"$info" \
            && [ "$(awk '/Height:/ { print $2 }' <<<"$info")" -gt 60 ]; then
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

# The left button opens it at the pointer.
xdotool mousemove "$cx" "$cy" click 1
waitfor 10 menu_open || fail "a left click on the icon opened no menu"
menu="$(menu_window)"
geometry="$(xdotool getwindowgeometry "$menu")"
echo "menu: $(grep Geometry <<<"$geometry" | xargs)"
# The menu is as tall as its five items and two separators, and starts at the
# pointer's height (the screen's edge may push it to the left).
my="$(xwininfo -id "$menu" | awk '/Absolute upper-left Y/ { print $NF }')"
[ "$my" -eq "$cy" ] || fail "the menu opened at y=$my, not at the pointer (y=$cy)"
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
    || fail "Debug.txt holds: $(od -c "$work/Debug.txt")"
[ "$(tail -c 17 "$work/Debug.txt" | od -c)" = "$(printf '\r\n-----------\r\n\r\n' | od -c)" ] \
    || fail "Debug.txt does not end in the separator: $(od -c "$work/Debug.txt")"
echo "1 passed, 0 failed"
