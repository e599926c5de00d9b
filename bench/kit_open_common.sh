# Shared by the kit-opening benchmarks: builds the packer in Release and makes
# kits of a given size from mixed compressible and incompressible files.
# Source it; set VESKP8_BENCH_BUILD (default build-bench) to choose the build
# directory.

set -euo pipefail

BENCH_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BENCH_BUILD_DIR=${VESKP8_BENCH_BUILD:-$BENCH_SOURCE_DIR/build-bench}

build_packer() {
  cmake -S "$BENCH_SOURCE_DIR" -B "$BENCH_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVESKP8_BUILD_UI=OFF -DVESKP8_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BENCH_BUILD_DIR" --target veskp8-kit -j2 >/dev/null
  PACKER=$BENCH_BUILD_DIR/bin/veskp8-kit
}

# make_tree DIR MIB (the pipes end at head -c, so their SIGPIPE is expected):: about MIB MiB of files below DIR, a quarter each of
# random binary files of 1 MiB, random binary files of 8 MiB, base64 text
# (compresses to about three quarters) and numbered text lines (compresses
# well).
make_tree() {
  local dir=$1 mib=$2 quarter=$(($2 / 4)) i
  mkdir -p "$dir/bin/small" "$dir/bin/large" "$dir/text/b64" "$dir/text/lines"
  for ((i = 0; i < quarter; i++)); do
    head -c 1048576 /dev/urandom >"$dir/bin/small/part$i.bin"
  done
  for ((i = 0; i < quarter / 8; i++)); do
    head -c 8388608 /dev/urandom >"$dir/bin/large/blob$i.bin"
  done
  for ((i = 0; i < quarter / 4; i++)); do
    head -c 3145728 /dev/urandom | base64 -w 76 | head -c 4194304 >"$dir/text/b64/encoded$i.txt" || true
  done
  for ((i = 0; i < quarter / 4; i++)); do
    seq $((i * 150000)) $((i * 150000 + 149999)) |
      awk '{ printf "Record=%d; Account=%d; Amount=%d.%02d; Comment=\"line %d of the template\"\n", $1, $1 % 9973, $1 % 100000, $1 % 100, $1 }' |
      head -c 4194304 >"$dir/text/lines/records$i.cf" || true
  done
}

# Milliseconds since the epoch.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
