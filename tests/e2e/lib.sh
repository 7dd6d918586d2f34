# Shared by the end-to-end tests that drive the real binary on a private X
# display. Source it after `set -euo pipefail`; it gives:
#   work       a temporary folder, removed at the end, holding a copy of the
#              binary (so its settings and Debug.txt are its own)
#   pids       processes to end at the end (add to it)
#   fail MSG   prints MSG and what the program said, exits 1
#   waitfor SECONDS COMMAND...   retries COMMAND every 0.1 s
#   qb_e2e_require TOOL...       skips the test when a tool is missing
#   qb_e2e_xvfb                  starts Xvfb on a free display
#   qb_e2e_trayer                starts the XEmbed tray host; sets $panel
#   qb_e2e_start_program         starts the copy; sets $app
#   app_gone                     true once the program has ended

: "${QB_BINARY:?QB_BINARY names the program binary}"

qb_e2e_require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
    done
}

work="$(mktemp -d)"
pids=()
qb_e2e_cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap qb_e2e_cleanup EXIT

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

cp "$QB_BINARY" "$work/quillbeacon"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/runtime-root}" QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# No session bus: Qt takes the XEmbed tray, as on a plain X11 desktop.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

qb_e2e_xvfb() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp >"$work/xvfb.txt" 2>&1 &
    pids+=($!)
    exec 3>&-
    waitfor 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/display")"
}

qb_e2e_panel_id() { xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ { print $1; exit }'; }
qb_e2e_panel_found() { [ -n "$(qb_e2e_panel_id)" ]; }

qb_e2e_trayer() {
    trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
        --SetDockType true --transparent false >"$work/trayer.txt" 2>&1 &
    pids+=($!)
    waitfor 10 qb_e2e_panel_found || fail "trayer's panel did not appear"
    panel="$(qb_e2e_panel_id)"
}

qb_e2e_start_program() {
    (cd "$work" && exec ./quillbeacon 2>"$work/stderr.txt") &
    app=$!
    pids+=("$app")
}

app_gone() {
    local state
    state="$(ps -o stat= -p "$app" 2>/dev/null || true)"
    [ -z "$state" ] || [[ "$state" == Z* ]]
}
