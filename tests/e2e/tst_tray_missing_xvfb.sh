#!/usr/bin/env bash
# A desktop without a notification area (bare Xvfb): the program says so once,
# in a message that does not hold up start-up, Options comes up with its
# "&File" menu, and "&Exit" from that menu still ends the program through the
# orderly exit.
set -euo pipefail
: "${QB_BINARY:?QB_BINARY names the program binary}"
for tool in Xvfb xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done

work="$(mktemp -d)"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -s "$work/stderr.txt" ] && sed 's/^/  program: /' "$work/stderr.txt"
    exit 1
}
waitfor() {
    local tries=$(($1 * 10))
    shift
    while ! "$@" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}
shown() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }
count_shown() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

cp "$QB_BINARY" "$work/quillbeacon"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/runtime-root}" QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp >"$work/xvfb.txt" 2>&1 &
pids+=($!)
exec 3>&-
waitfor 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

(cd "$work" && exec ./quillbeacon 2>"$work/stderr.txt") &
app=$!
pids+=("$app")

# The notice needs no answer: start-up goes on to the splash and Options.
waitfor 10 shown '^Quillbeacon$' || fail "no message about the missing notification area"
waitfor 20 shown '^Options$' || fail "the Options window never came up"
[ "$(count_shown '^Quillbeacon$')" -eq 1 ] || fail "the message was shown more than once"

options="$(xdotool search --onlyvisible --name '^Options$' | head -n 1)"
xdotool windowfocus --sync "$options" key alt+f
sleep 0.5
xdotool key e
app_gone() {
    local state
    state="$(ps -o stat= -p "$app" 2>/dev/null || true)"
    [ -z "$state" ] || [[ "$state" == Z* ]]
}
waitfor 10 app_gone || fail "&Exit did not end the program"
[ -f "$work/Debug.txt" ] || fail "no Debug.txt beside the binary"
echo "1 passed, 0 failed"
