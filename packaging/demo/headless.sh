# Shell functions for scripts/run and scripts/demo: a private X display with a
# notification area, for machines without a display of their own.

QB_HEADLESS_PIDS=()

# qb_headless_start WORKDIR: starts Xvfb on a free display and the XEmbed tray
# host trayer on it, and exports DISPLAY.
qb_headless_start() {
    local work="$1" tries
    mkdir -p "$work"
    rm -f "$work/display"
    exec 9>"$work/display"
    Xvfb -displayfd 9 -screen 0 1024x768x24 -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
    QB_HEADLESS_PIDS+=($!)
    exec 9>&-
    for tries in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || { echo "Xvfb did not start (see $work/xvfb.log)" >&2; return 1; }
    export DISPLAY=":$(head -n 1 "$work/display")"
    # Without a session bus Qt uses the XEmbed tray that trayer offers.
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
    trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
        --SetDockType true --transparent false >"$work/trayer.log" 2>&1 &
    QB_HEADLESS_PIDS+=($!)
    for tries in $(seq 100); do
        xwininfo -root -tree 2>/dev/null | grep -q '"panel": ("panel" "trayer")' && return 0
        sleep 0.1
    done
    echo "trayer did not start (see $work/trayer.log)" >&2
    return 1
}

qb_headless_stop() {
    local pid
    for pid in "${QB_HEADLESS_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    QB_HEADLESS_PIDS=()
}

# qb_tray_icon_center [SECONDS]: prints "X Y" of the program's icon in
# trayer's panel once it is embedded and shown.
qb_tray_icon_center() {
    local seconds="${1:-20}" panel line id geometry abs
    for _ in $(seq $((seconds * 10))); do
        panel="$(xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ { print $1; exit }' || true)"
        line="$(xwininfo -tree -id "$panel" 2>/dev/null | grep '("quillbeacon"' | head -n 1 || true)"
        if [ -n "$line" ]; then
            id="$(awk '{ print $1 }' <<<"$line")"
            if xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
                geometry="$(xwininfo -id "$id")"
                local x y w h
                x="$(awk '/Absolute upper-left X/ { print $NF }' <<<"$geometry")"
                y="$(awk '/Absolute upper-left Y/ { print $NF }' <<<"$geometry")"
                w="$(awk '/Width:/ { print $NF }' <<<"$geometry")"
                h="$(awk '/Height:/ { print $NF }' <<<"$geometry")"
                echo "$((x + w / 2)) $((y + h / 2))"
                return 0
            fi
        fi
        sleep 0.1
    done
    return 1
}

# qb_wait_window NAME [SECONDS]: prints the id of a shown window called NAME.
qb_wait_window() {
    local name="$1" seconds="${2:-20}" win
    for _ in $(seq $((seconds * 10))); do
        win="$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n 1 || true)"
        [ -n "$win" ] && { echo "$win"; return 0; }
        sleep 0.1
    done
    return 1
}
