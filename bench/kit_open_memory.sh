#!/usr/bin/env bash
# Memory check: the peak resident size of `veskp8-kit verify` on a 1 GiB kit
# (a kit file of just over 1 GiB, made from 1450 MiB of mixed files) against the
# same command on a tiny kit. Opening must not grow the process by more than a
# few MiB beyond the kit's 1 MiB copy buffer.
#
#   bench/kit_open_memory.sh        (work files under $TMPDIR or /tmp)
source "$(dirname "$0")/kit_open_common.sh"

build_packer
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kit-memory.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tmp" "$WORK/tiny"

echo "making a tree of 1450 MiB (its kit is just over 1 GiB)..."
make_tree "$WORK/tree" 1450
"$PACKER" create -o "$WORK/big.efd" "$WORK/tree" --desc en "Memory" "Vesk" "" >/dev/null
rm -rf "$WORK/tree"
echo "small file" >"$WORK/tiny/readme.txt"
"$PACKER" create -o "$WORK/tiny.efd" "$WORK/tiny" >/dev/null

peak_kib() {
  TMPDIR=$WORK/tmp /usr/bin/time -v "$PACKER" verify "$1" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident set size/ { print $2 }'
}
tiny=$(peak_kib "$WORK/tiny.efd")
big=$(peak_kib "$WORK/big.efd")
echo "kit size: $(stat -c %s "$WORK/big.efd") bytes"
echo "peak RSS, tiny kit: $tiny KiB"
echo "peak RSS, 1 GiB kit: $big KiB"
echo "growth: $((big - tiny)) KiB"
