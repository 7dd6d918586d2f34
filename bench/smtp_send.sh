#!/usr/bin/env bash
# Sends a mail with a 10 MB attachment through the local Postfix with the
# sender window and with msmtp, and prints the median times.
#   bench/smtp_send.sh [BUILD_DIR] [MB] [repeats]
# BUILD_DIR defaults to build-bench (configure it as a Release build).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build-bench}"
MAILHOST="$ROOT/scripts/mailhost"
started=0
if ! "$MAILHOST" count >/dev/null 2>&1 || ! (exec 3<>/dev/tcp/127.0.0.1/25) 2>/dev/null; then
    "$MAILHOST" start
    started=1
fi
cleanup() {
    "$MAILHOST" clear >/dev/null || true
    if [ "$started" = 1 ]; then "$MAILHOST" stop; fi
}
trap cleanup EXIT
"$MAILHOST" clear
mkdir -p /tmp/runtime-root && chmod 700 /tmp/runtime-root
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/runtime-root \
    "$BUILD/bench/smtp_send" "$("$MAILHOST" maildir)" "${2:-10}" "${3:-5}"
