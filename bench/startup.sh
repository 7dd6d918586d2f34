#!/usr/bin/env bash
# Start-up and idle CPU of the real binary on a private display with trayer,
# run from a copy in a folder of its own (its settings and Debug.txt are its
# own). A bare Qt window is measured in the same run the same way: hyperfine
# runs map_wait, which ends at the X server's map event. Prints:
#   program_startup_ms, floor_startup_ms   medians of RUNS, first window mapped
#   idle_cpu_ticks    user+system clock ticks over SECONDS once the splash is gone
#   bench/startup.sh BUILD_DIR OUT_DIR [RUNS] [SECONDS]    (defaults 10 and 10)
set -euo pipefail
source "$(dirname "$0")/../scripts/xvfb.sh"
qb_require hyperfine jq trayer
qb_on_private_display "$@"
build="$(readlink -f "$1")"
out="$(readlink -f "$2")"
work="$(mktemp -d)"
trap 'qb_xvfb_stop; rm -rf "$work"' EXIT
cp "$build/src/quillbeacon" "$work/quillbeacon"
cd "$work"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
qb_trayer

hyperfine -N --warmup 2 --runs "${3:-10}" --export-json "$out/startup.json" \
    -n program "$build/bench/map_wait ./quillbeacon" \
    -n floor "$build/bench/map_wait $build/bench/qt_floor" >&2
jq -r '.results[] | "\(.command)_startup_ms=\(.median * 1000 | round)"' "$out/startup.json"

./quillbeacon 2>/dev/null &
QB_XVFB_PIDS+=($!)
sleep 7 # past the splash's five seconds
ticks() {
    local stat
    read -ra stat <"/proc/${QB_XVFB_PIDS[-1]}/stat"
    echo $((stat[13] + stat[14]))
}
before=$(ticks)
sleep "${4:-10}"
echo "idle_cpu_ticks=$(($(ticks) - before))"
