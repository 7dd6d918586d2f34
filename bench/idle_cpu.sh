#!/usr/bin/env bash
# CPU time the running program uses while nothing happens: it starts under
# Xvfb, is left alone until its splash has gone, then its user+system clock
# ticks are counted over SECONDS (default 10). Prints "idle_cpu_ticks <n>".
#   bench/idle_cpu.sh BINARY [SECONDS]
set -euo pipefail
binary="$(readlink -f "$1")"
seconds="${2:-10}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$binary" "$work/quillbeacon"

cat > "$work/measure.sh" <<'MEASURE'
set -euo pipefail
cd "$WORK"
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
command -v trayer >/dev/null && { trayer --edge top --align right --widthtype pixel --width 200 \
    --height 32 --SetDockType true --transparent false >/dev/null 2>&1 & }
./quillbeacon 2>/dev/null &
pid=$!
sleep 7 # past the splash's five seconds
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep "$SECONDS_IDLE"
after=$(ticks)
echo $((after - before))
kill "$pid"
MEASURE
echo "idle_cpu_ticks $(WORK="$work" SECONDS_IDLE="$seconds" xvfb-run -a \
    -s '-screen 0 1024x768x24 -nolisten tcp' bash "$work/measure.sh")"
