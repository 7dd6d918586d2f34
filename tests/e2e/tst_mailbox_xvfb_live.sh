#!/usr/bin/env bash
# The real binary on an Xvfb display (1024 x 768, no panel but trayer's at the
# top) against the local Dovecot: account typed into Options, "&Connect" from
# the tray menu; the mailbox window must be seen moving up step by step
# (positions polled and screenshots taken mid-slide), come to rest at
# 812,591 (Left 12180, Top 8865 twips), open a viewer level with it and
# directly to its left on a double-click, and end the program through its
# close picture, leaving the protocol log in Debug.txt.
# With QB_MAILBOX_SCREENSHOTS=folder the pictures are kept there.
set -euo pipefail
: "${QB_MAILHOST:?QB_MAILHOST names scripts/mailhost}"
source "$(dirname "$0")/lib.sh"
qb_require trayer xwininfo import
bash "$QB_MAILHOST" status >/dev/null 2>&1 || qb_prerequisite_missing "the mail host is not running"
shots="${QB_MAILBOX_SCREENSHOTS:-$work/shots}"
mkdir -p "$shots"

# Two messages: an HTML-only MIME one with an encoded subject ("Grüße aus
# Köln"), and one with a uuencoded block the viewer cuts off.
bash "$QB_MAILHOST" clear
printf '%s\n' 'Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=' 'From: =?UTF-8?Q?J=C3=B6rg_Bauer?= <jb@example.de>' \
    'To: Ann <ann@example.test>' 'MIME-Version: 1.0' 'Content-Type: text/html; charset=UTF-8' '' \
    '<html><body><p>Hallo Ann,</p><p>wir sehen uns am <b>Freitag</b>.<br>Bis dann!</p></body></html>' \
    >"$work/m1.eml"
printf 'Subject: With a file\nTo: bob@example.test\n\nSee the file.\nbegin 664 a.txt\n#86)C\n`\nend\n' >"$work/m2.eml"
bash "$QB_MAILHOST" add "$work/m1.eml" "$work/m2.eml"

qb_trayer || fail "trayer's panel did not appear"
qb_e2e_start_program

# X Y W H of a window, on one line.
geometry() {
    local X Y WIDTH HEIGHT
    qb_geometry "$1"
    echo "$X $Y $WIDTH $HEIGHT"
}
visible_window() { qb_first_window --onlyvisible --name "$1" || true; }

# The account, typed into Options; OK hides the window.
options="$(qb_window Options 20)"
[ -n "$options" ] || fail "the Options window never came up"
read -r ox oy ow oh <<<"$(geometry "$options")"
menubar=$((oh - 417)) # the client area is 6255 twips high, the check band included
type_into() { # x y text: click a box at client coordinates, type into it
    xdotool mousemove $((ox + $1)) $((oy + menubar + $2)) click 1
    xdotool type --delay 5 "$3"
}
type_into 100 41 "127.0.0.1" # Server
type_into 100 89 "qbtest"    # Username
type_into 100 137 "qbpass"   # Password
xdotool mousemove $((ox + 112)) $((oy + menubar + 320)) click 1 # OK
options_gone() { [ -z "$(visible_window '^Options$')" ]; }
waitfor 10 options_gone || fail "OK did not close Options"

# The tray icon's menu, then "&Connect".
qb_tray_icon 20 || fail "the icon never appeared in the notification area"
xdotool mousemove $((X + 8)) $((Y + 8)) click 1
sleep 0.5
xdotool key c

# The slide: 93 steps of 25 twips from Top 11190 (746 px) to 8865 (591 px).
mailbox="$(qb_window Bramblewickhold 20)"
[ -n "$mailbox" ] || fail "the mailbox window never appeared"
positions=()
shot=0
for _ in $(seq 60); do
    read -r mx my mw mh <<<"$(geometry "$mailbox")"
    [ "${#positions[@]}" -gt 0 ] && [ "${positions[-1]}" = "$my" ] || positions+=("$my")
    if [ "$my" -lt 730 ] && [ "$my" -gt 600 ] && [ "$shot" -lt 2 ]; then
        shot=$((shot + 1))
        import -window root "$shots/mid-slide-$shot.png"
        echo "mid-slide screenshot at y=$my: $shots/mid-slide-$shot.png"
    fi
    [ "$my" -eq 591 ] && break
    sleep 0.05
done
echo "positions seen: ${positions[*]}"
[ "${#positions[@]}" -ge 8 ] || fail "the slide was seen at only ${#positions[@]} places: ${positions[*]}"
read -r mx my mw mh <<<"$(geometry "$mailbox")"
[ "$mx $my $mw $mh" = "812 591 210 178" ] || fail "the mailbox window rests at $mx $my ${mw}x$mh"

# A double-click on the first row opens a viewer beside the mailbox window.
sleep 0.3
import -window root "$shots/at-rest.png"
xdotool mousemove $((mx + 40)) $((my + 40 + 10)) click --repeat 2 --delay 60 1
viewer="$(qb_window Form1 20)"
[ -n "$viewer" ] || fail "no viewer appeared"
read -r vx vy vw vh <<<"$(geometry "$viewer")"
[ "$vx $vy $vw $vh" = "570 591 242 185" ] || fail "the viewer is at $vx $vy ${vw}x$vh"
sleep 0.3
import -window root "$shots/mailbox-and-viewer.png"
echo "screenshot: $shots/mailbox-and-viewer.png"

# The close picture of the mailbox window ends the program.
xdotool mousemove $((mx + 184 + 5)) $((my + 8 + 5)) click 1
waitfor 10 app_gone || fail "the close picture did not end the program"
grep -q $'\r\nRETR 2' "$work/Debug.txt" || fail "Debug.txt has no RETR 2"
grep -q $'\r\nPASS \\*\\*\\*\\*' "$work/Debug.txt" || fail "Debug.txt has no masked PASS line"
if grep -q qbpass "$work/Debug.txt"; then fail "the password is in Debug.txt"; fi
echo "1 passed, 0 failed"
