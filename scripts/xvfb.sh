# Sourced by whatever drives the real binary on a private X display: the
# end-to-end tests, scripts/run and scripts/demo without a display, and the
# start-up benchmark.
#   qb_prerequisite_missing REASON   fails with QB_REQUIRE_PREREQUISITES=1,
#                                    else skips (exit 77) and says why
#   qb_require TOOL...               the same for each tool not installed
#   qb_on_private_display "$@"       runs the calling script again under
#                                    xvfb-run (1024 x 768), unless it is there
#   qb_trayer                        the XEmbed notification area; sets $panel
#   qb_first_window ARGS...          the first id xdotool search ARGS finds
#   qb_window NAME [SECONDS]         prints the id of a shown window NAME
#   qb_geometry WIN                  sets X Y WIDTH HEIGHT (absolute)
#   qb_tray_icon [SECONDS]           sets X Y WIDTH HEIGHT of the program's icon

qb_prerequisite_missing() {
    if [ "${QB_REQUIRE_PREREQUISITES:-0}" = 1 ]; then
        echo "FAIL: $1 (prerequisites are required here)"
        exit 1
    fi
    echo "skipped: $1"
    exit 77
}

qb_require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || qb_prerequisite_missing "$tool is not installed"
    done
}

QB_XVFB_SCRIPT="$(readlink -f "$0")" # before the script changes folder
qb_on_private_display() {
    [ -n "${QB_PRIVATE_DISPLAY:-}" ] && return 0
    qb_require xvfb-run xdotool
    # No session bus: Qt takes the XEmbed tray, as on a plain X11 desktop.
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    QB_PRIVATE_DISPLAY=1 QT_QPA_PLATFORM=xcb exec xvfb-run -a \
        -s "-screen 0 1024x768x24 -noreset -nolisten tcp" bash "$QB_XVFB_SCRIPT" "$@"
}

qb_trayer() {
    trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
        --SetDockType true --transparent false >/dev/null 2>&1 &
    QB_XVFB_PIDS+=($!)
    local tries=100
    panel=""
    while [ -z "$panel" ] && [ "$tries" -gt 0 ]; do
        panel="$(qb_first_window --classname '^panel$')" || sleep 0.1
        tries=$((tries - 1))
    done
    [ -n "$panel" ] || { echo "trayer's panel did not appear" >&2; return 1; }
}

# A search fails now and then by itself when a window (a closing menu, say)
# goes away while xdotool reads it: so it is tried again, and only the first
# id is printed, without a pipe that a reader's early exit would break.
qb_first_window() { # xdotool search arguments...
    local ids
    ids="$(xdotool search "$@" 2>/dev/null)" || true
    [ -n "$ids" ] && echo "${ids%%$'\n'*}"
}

qb_window() {
    local tries=$((${2:-20} * 10))
    while [ "$tries" -gt 0 ]; do
        qb_first_window --onlyvisible --name "^$1\$" && return 0
        tries=$((tries - 1))
        sleep 0.1
    done
    return 0
}

qb_geometry() {
    local SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
}

# The icon is a window of the program embedded somewhere below the panel.
qb_tray_icon() {
    local tries=$((${1:-20} * 10)) icon
    while [ "$tries" -gt 0 ]; do
        icon="$(xwininfo -tree -id "$panel" | awk '/\("quillbeacon"/ { print $1; exit }')"
        if [ -n "$icon" ] && xwininfo -id "$icon" | grep -q IsViewable; then
            qb_geometry "$icon"
            return 0
        fi
        tries=$((tries - 1))
        sleep 0.1
    done
    return 1
}

QB_XVFB_PIDS=()
qb_xvfb_stop() {
    local pid
    for pid in "${QB_XVFB_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    QB_XVFB_PIDS=()
}
