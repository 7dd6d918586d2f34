#!/usr/bin/env bash
# Retrieving 51 messages of 1 MiB from the local Dovecot: the program's
# session (bench/pop3_retrieve) against mpop on the same mailbox, several
# rounds each, medians and their ratio (target: ratio <= 1.0), and the peak
# memory of the program while its tables hold the 51 messages (target:
# <= 3 x payload + 40 MB).
#
#   bench/pop3_retrieve.sh BUILD_DIR [ROUNDS] [MESSAGE_SIZE]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:?build dir}"
ROUNDS="${2:-5}"
MAILHOST="$ROOT/scripts/mailhost"
BENCH="$BUILD/bench/pop3_retrieve"
COUNT=51
SIZE="${3:-1048576}"

"$MAILHOST" clear
"$MAILHOST" seed "$COUNT" "$SIZE"
[ "$("$MAILHOST" count)" = "$COUNT" ] || { echo "seeding failed" >&2; exit 1; }

uidls="$(mktemp)"
trap 'rm -f "$uidls"' EXIT
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
best() { sort -n | head -n 1; }
now_ms() { date +%s%3N; }

mpop_times=()
ours_times=()
last=""
for _ in $(seq "$ROUNDS"); do
    rm -f "$uidls"
    start=$(now_ms)
    mpop --host=127.0.0.1 --port=110 --auth=user --user=qbtest --passwordeval='echo qbpass' \
        --tls=off --keep=on --only-new=off --received-header=off --uidls-file="$uidls" \
        --delivery=mbox,/dev/null -q
    mpop_times+=($(($(now_ms) - start)))

    last="$(QT_QPA_PLATFORM=offscreen "$BENCH")"
    ours_times+=("$(echo "$last" | sed -n 's/.* wall \([0-9]*\) ms.*/\1/p')")
done

mpop_median=$(printf '%s\n' "${mpop_times[@]}" | median)
ours_median=$(printf '%s\n' "${ours_times[@]}" | median)
mpop_best=$(printf '%s\n' "${mpop_times[@]}" | best)
ours_best=$(printf '%s\n' "${ours_times[@]}" | best)
echo "mpop         wall ms: ${mpop_times[*]}  median $mpop_median  best $mpop_best"
echo "quillbeacon  wall ms: ${ours_times[*]}  median $ours_median  best $ours_best"
awk -v a="$ours_median" -v b="$mpop_median" -v c="$ours_best" -v d="$mpop_best" \
    'BEGIN {printf "ratio quillbeacon / mpop: median %.2f, best %.2f\n", a / b, c / d}'
echo "last run: $last"
payload_mb=$(awk -v n="$COUNT" -v s="$SIZE" 'BEGIN {printf "%.1f", n * s / 1048576}')
echo "payload ${payload_mb} MiB; memory limit 3 x payload + 40 MB = $(awk -v p="$payload_mb" 'BEGIN {printf "%.0f", 3 * p + 40}') MB"
