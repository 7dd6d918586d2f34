#!/usr/bin/env bash
# Memory of the real program around a check, as a user sees it: a copy set up
# for SERVER on a private display with trayer, "Connect" picked from the tray
# menu, the mailbox window seen at rest, then VIEWERS viewers of the first
# message opened and closed in turn (double-click, then the viewer's close
# picture). Figures come from /proc/PID/status. Prints:
#   rss_start_mb         resident before the check
#   rss_after_check_mb   resident once the mailbox window is at rest
#   peak_mb              the highest resident size so far (VmHWM)
#   rss_after_viewers_mb resident after the viewers, and its difference from
#   viewers_delta_mb     rss_after_check_mb
#   bench/resident.sh BUILD_DIR SERVER [VIEWERS]      (default 20)
set -euo pipefail
source "$(dirname "$0")/../scripts/xvfb.sh"
qb_require trayer xwininfo
qb_on_private_display "$@"
build="$(readlink -f "$1")"
server="$2"
viewers="${3:-20}"
work="$(mktemp -d)"
trap 'qb_xvfb_stop; rm -rf "$work"' EXIT
cp "$build/src/quillbeacon" "$work/quillbeacon"
cd "$work"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
"$build/packaging/qb_demo_settings" "$work/quillbeacon" "$server" qbtest qbpass 0 >/dev/null
qb_trayer

./quillbeacon 2>"$work/stderr.txt" &
app=$!
QB_XVFB_PIDS+=("$app")
die() { echo "resident.sh: $*" >&2; sed 's/^/  program: /' "$work/stderr.txt" >&2; exit 1; }
mb() { awk -v k="$1:" '$1 == k { printf "%.1f", $2 / 1024 }' "/proc/$app/status"; }

[ -n "$(qb_window Options 20)" ] || die "the Options window never came up"
qb_tray_icon 20 || die "the icon never appeared in the notification area"
sleep 1
echo "rss_start_mb=$(mb VmRSS)"
xdotool mousemove $((X + 8)) $((Y + 8)) click 1
sleep 0.5
xdotool key c

mailbox="$(qb_window Bramblewickhold 60)"
[ -n "$mailbox" ] || die "the mailbox window never appeared"
for _ in $(seq 600); do
    qb_geometry "$mailbox"
    [ "$Y" -eq 591 ] && break
    sleep 0.05
done
sleep 1 # the reply to QUIT
echo "rss_after_check_mb=$(mb VmRSS)"
echo "peak_mb=$(mb VmHWM)"
after_check="$(mb VmRSS)"

mx=$X my=$Y
for _ in $(seq "$viewers"); do
    xdotool mousemove $((mx + 40)) $((my + 50)) click --repeat 2 --delay 60 1
    viewer="$(qb_window Form1 20)"
    [ -n "$viewer" ] || die "no viewer appeared"
    qb_geometry "$viewer"
    xdotool mousemove $((X + 221)) $((Y + 13)) click 1
    for _ in $(seq 100); do
        [ -z "$(xdotool search --onlyvisible --name '^Form1$' 2>/dev/null)" ] && break
        sleep 0.05
    done
done
sleep 2 # the last viewer's memory is given back a moment after it closes
echo "rss_after_viewers_mb=$(mb VmRSS)"
echo "viewers_delta_mb=$(awk -v a="$(mb VmRSS)" -v b="$after_check" 'BEGIN { printf "%.1f", a - b }')"
