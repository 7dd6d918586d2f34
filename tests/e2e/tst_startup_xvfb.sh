#!/usr/bin/env bash
# The real binary on a real X server: it comes up (the splash, then Options),
# and "&Exit" from the menu bar ends it through the orderly exit, which leaves
# one block in "Debug.txt" beside the binary.
set -euo pipefail
: "${QB_BINARY:?QB_BINARY names the program binary}"
for tool in xvfb-run xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A copy in a folder of its own has settings and a Debug.txt of its own.
cp "$QB_BINARY" "$work/quillbeacon"
printf 'earlier' > "$work/Debug.txt"

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
cd "$WORK"
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
./quillbeacon 2>"$WORK/stderr.txt" &
pid=$!
# No settings yet: the splash comes first, and Options after five seconds.
win=$(timeout 30 xdotool search --sync --onlyvisible --name '^Options$' | head -n 1)
[ -n "$win" ] || { echo "the Options window never came up"; exit 1; }
xwininfo -id "$win" | grep -q 'Map State: IsViewable' || { echo "Options is not mapped"; exit 1; }
xdotool windowfocus --sync "$win" key alt+f
sleep 0.5
xdotool key e
for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    echo "&Exit did not end the program"
    exit 1
fi
wait "$pid" || { echo "the program ended with status $?"; exit 1; }
SESSION

WORK="$work" xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' bash "$work/session.sh"

expected="$(printf 'earlier\r\n\r\n-----------\r\n\r\n' | od -c)"
actual="$(od -c "$work/Debug.txt")"
if [ "$expected" != "$actual" ]; then
    echo "Debug.txt holds:"
    echo "$actual"
    exit 1
fi
echo "1 passed, 0 failed"
