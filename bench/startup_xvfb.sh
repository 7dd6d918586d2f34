#!/usr/bin/env bash
# Start-up time of the binary under Xvfb: from exec to its first window
# mapped, median of RUNS (default 5). Prints "startup_ms <median>".
#   bench/startup_xvfb.sh BINARY [RUNS]
set -euo pipefail
binary="$(readlink -f "$1")"
runs="${2:-5}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$binary" "$work/quillbeacon"

cat > "$work/measure.sh" <<'MEASURE'
set -euo pipefail
cd "$WORK"
export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
for _ in $(seq "$RUNS"); do
    start=$(date +%s%N)
    ./quillbeacon 2>/dev/null &
    pid=$!
    timeout 20 xdotool search --sync --onlyvisible --pid "$pid" >/dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
MEASURE
WORK="$work" RUNS="$runs" xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' \
    bash "$work/measure.sh" > "$work/times"
echo "startup_ms $(sort -n "$work/times" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"
