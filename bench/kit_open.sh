#!/usr/bin/env bash
# Benchmark: opening a 256 MiB kit (inflating it into the temporary image and
# reading its tables, as the installer does; measured with `veskp8-kit
# verify`) against `gzip -dc` of the same image bytes written to a file in the
# same directory. Prints the median of RUNS runs of each and their ratio
# (target: at most 1.15).
#
#   bench/kit_open.sh [RUNS]        (default 7; work files under $TMPDIR or /tmp)
source "$(dirname "$0")/kit_open_common.sh"

RUNS=${1:-7}
SIZE_MIB=256
build_packer

WORK=$(mktemp -d "${TMPDIR:-/tmp}/kit-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tmp"

echo "making a $SIZE_MIB MiB tree..."
make_tree "$WORK/tree" $SIZE_MIB
"$PACKER" create -o "$WORK/kit.efd" "$WORK/tree" --desc en "Benchmark" "Vesk" "" >/dev/null

# The same image bytes, gzip-compressed, for the comparison.
python3 - "$WORK/kit.efd" "$WORK/image.gz" <<'PY'
import gzip, sys, zlib
inflater = zlib.decompressobj(-15)
with open(sys.argv[1], "rb") as kit, gzip.open(sys.argv[2], "wb", compresslevel=6) as out:
    while chunk := kit.read(1 << 20):
        out.write(inflater.decompress(chunk))
    out.write(inflater.flush())
PY

kit_bytes=$(stat -c %s "$WORK/kit.efd")
gz_bytes=$(stat -c %s "$WORK/image.gz")
image_bytes=$(gzip -dc "$WORK/image.gz" | wc -c)
echo "kit: $kit_bytes bytes; gzip of the image: $gz_bytes bytes; image: $image_bytes bytes"

open_times=()
gzip_times=()
for ((run = 0; run < RUNS; run++)); do
  start=$(now_ms)
  TMPDIR=$WORK/tmp "$PACKER" verify "$WORK/kit.efd" >/dev/null
  open_times+=($(($(now_ms) - start)))

  start=$(now_ms)
  gzip -dc "$WORK/image.gz" >"$WORK/tmp/gunzipped"
  gzip_times+=($(($(now_ms) - start)))
  rm -f "$WORK/tmp/gunzipped"
done

open_median=$(printf '%s\n' "${open_times[@]}" | median)
gzip_median=$(printf '%s\n' "${gzip_times[@]}" | median)
echo "open kit (veskp8-kit verify), ms: ${open_times[*]}  median $open_median"
echo "gzip -dc to a file, ms:           ${gzip_times[*]}  median $gzip_median"
awk -v a="$open_median" -v b="$gzip_median" 'BEGIN { printf "ratio open/gzip: %.3f (target <= 1.15)\n", a / b }'
