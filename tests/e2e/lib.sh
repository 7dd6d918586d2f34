# Shared by the end-to-end tests that drive the real binary on a private X
# display (scripts/xvfb.sh). Source it after `set -euo pipefail`; the test
# runs again under xvfb-run first. It gives:
#   work       a temporary folder, removed at the end, holding a copy of the
#              binary (so its settings and Debug.txt are its own)
#   fail MSG   prints MSG and what the program said, exits 1
#   waitfor SECONDS COMMAND...   retries COMMAND every 0.1 s
#   qb_e2e_start_program         starts the copy; sets $app
#   app_gone                     true once the program has ended

: "${QB_BINARY:?QB_BINARY names the program binary}"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb.sh"
qb_on_private_display "$@"

# A command that fails under set -e says where, so a failure is never silent.
set -E
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/}:$LINENO: \"$BASH_COMMAND\" exited $?"' ERR

work="$(mktemp -d)"
trap 'qb_xvfb_stop; wait 2>/dev/null; rm -rf "$work"' EXIT

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

qb_e2e_start_program() {
    (cd "$work" && exec ./quillbeacon 2>"$work/stderr.txt") &
    app=$!
    QB_XVFB_PIDS+=("$app")
}

app_gone() {
    local state
    state="$(ps -o stat= -p "$app" 2>/dev/null || true)"
    [ -z "$state" ] || [[ "$state" == Z* ]]
}
