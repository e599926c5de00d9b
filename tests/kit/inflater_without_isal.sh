#!/usr/bin/env bash
# Runs inflater_test where ISA-L cannot be loaded: in a mount namespace of its
# own, an empty file hides libisal.so.2, so the inflater falls back to zlib
# (the test checks that ISA-L is indeed unavailable and that kits still
# inflate when it is asked for).
#
# Usage: inflater_without_isal.sh INFLATER_TEST. Needs root (unshare, mount).
# Exit status: 0 pass, 1 fail, 77 skipped.
set -uo pipefail
test_binary=${1:?}
library=$(ldconfig -p | awk '$1 == "libisal.so.2" { print $NF; exit }')
[ -n "$library" ] || { echo "SKIP: libisal.so.2 is not installed"; exit 77; }
library=$(readlink -f "$library")
empty=$(mktemp /tmp/veskp8-no-isal-XXXXXX)
trap 'rm -f "$empty"' EXIT
unshare --mount --propagation private true 2>/dev/null ||
  { echo "SKIP: cannot make a mount namespace"; exit 77; }
VESKP8_TEST_WITHOUT_ISAL=1 unshare --mount --propagation private \
  bash -c 'mount --bind "$1" "$2" && exec "$3"' hide "$empty" "$library" "$test_binary"
