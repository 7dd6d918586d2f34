#!/usr/bin/env bash
# Two figures of the real binary under Xvfb, run from a copy in a folder of
# its own (its settings and Debug.txt are its own):
#   startup_ms      from exec to its first window mapped, median of RUNS
#   idle_cpu_ticks  user+system clock ticks it uses over SECONDS once its
#                   splash has gone and nothing happens (0: nothing polls)
#   bench/xvfb_figures.sh BINARY [RUNS] [SECONDS]      (defaults 5 and 10)
set -euo pipefail
binary="$(readlink -f "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$binary" "$work/quillbeacon"

cat > "$work/measure.sh" <<'MEASURE'
set -euo pipefail
cd "$WORK"
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
command -v trayer >/dev/null && { trayer --edge top --align right --widthtype pixel --width 200 \
    --height 32 --SetDockType true --transparent false >/dev/null 2>&1 & }

for _ in $(seq "$RUNS"); do
    start=$(date +%s%N)
    ./quillbeacon 2>/dev/null &
    pid=$!
    timeout 20 xdotool search --sync --onlyvisible --pid "$pid" >/dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 )) >> "$WORK/times"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
echo "startup_ms $(sort -n "$WORK/times" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"

./quillbeacon 2>/dev/null &
pid=$!
sleep 7 # past the splash's five seconds
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep "$SECONDS_IDLE"
echo "idle_cpu_ticks $(( $(ticks) - before ))"
kill "$pid"
MEASURE
WORK="$work" RUNS="${2:-5}" SECONDS_IDLE="${3:-10}" xvfb-run -a \
    -s '-screen 0 1024x768x24 -nolisten tcp' bash "$work/measure.sh"
