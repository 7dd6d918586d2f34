#!/usr/bin/env bash
# "cmake --install" into an empty prefix puts the binary, the desktop entry,
# the hicolor icons and the AppStream metadata in their places, and the
# desktop's own validators accept them.
set -euo pipefail
: "${QB_BINARY:?QB_BINARY names the program binary}"
for tool in cmake desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
build="$(cd "$(dirname "$QB_BINARY")/.." && pwd)"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
failures=0
check() {
    local what="$1"
    shift
    if "$@"; then echo "PASS: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" || {
    cat "$prefix/install.log"
    exit 1
}
id=io.github.quillbeacon.Quillbeacon
desktop="$prefix/share/applications/$id.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"

check "binary installed" test -x "$prefix/bin/quillbeacon"
check "desktop entry valid" desktop-file-validate "$desktop"
check "desktop entry in Network and Email" grep -qx 'Categories=Network;Email;' "$desktop"
check "desktop entry names the icon" grep -qx "Icon=$id" "$desktop"
check "desktop entry starts the binary" grep -qx 'Exec=quillbeacon' "$desktop"
check "metainfo valid" appstreamcli validate --no-net "$metainfo"
check "installed tree valid" appstreamcli validate-tree --no-net "$prefix"

# PNG width and height are the big-endian words at bytes 16 and 20.
png_size() {
    local b
    read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((b[2] << 8) | b[3]))x$(((b[6] << 8) | b[7]))"
}
for size in 36 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    check "icon ${size}x${size}" test "$(png_size "$icon" 2>/dev/null)" = "${size}x${size}"
done
check "scalable icon" grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$id.svg"

echo "$failures failed"
[ "$failures" -eq 0 ]
