#!/usr/bin/env bash
# Benchmark of the installation engine against tar, in one run.
#
#   bench/engine.sh [RUNS]        (default 5 runs; medians are reported)
#
# Builds Release in build-bench-engine (bench/engine/CMakeLists.txt: the
# source tree plus veskp8-engine-driver, which runs the extraction job without
# the user interface and with the final one-second pause set to 0), makes a
# tree of 20,000 small files and four large ones (about 256 MiB), packs it
# into a kit with veskp8-kit and into a .tar.gz, and times:
#   fresh      the job into an empty directory      vs  tar -xzf; sync
#   reinstall  the job over older copies of every file (all go through the
#              backup), TMPDIR on the template directory's file system and on
#              tmpfs (/dev/shm)                     vs  tar -xzf; sync over the same tree
#   uptodate   the job again over an installed tree (everything skipped) vs fresh
# The job makes what it wrote durable (syncfs) before its commit, so tar is
# followed by sync. Job times exclude opening the kit (inflating it into the
# image happens before the wizard; it is reported separately). Wall times on a
# shared disk vary with other load, so CPU times (user + system) are reported
# as well.
#
# Environment: WORK (default /var/tmp/veskp8-bench-engine, on the disk), SHM
# (default /dev/shm/veskp8-bench-engine).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-bench-engine
RUNS=${1:-5}
WORK=${WORK:-/var/tmp/veskp8-bench-engine}
SHM=${SHM:-/dev/shm/veskp8-bench-engine}
OLD=1500000000

echo "== building (Release, $BUILD)"
cmake -S "$ROOT/bench/engine" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target veskp8-engine-driver veskp8-kit -j2 >/dev/null
DRIVER=$BUILD/bin/veskp8-engine-driver
PACKER=$BUILD/bin/veskp8-kit

rm -rf "$WORK" "$SHM"
mkdir -p "$WORK/tmp" "$SHM"
trap 'rm -rf "$WORK" "$SHM"' EXIT

echo "== making the tree (20,000 small files + 4 large, about 256 MiB)"
python3 - "$WORK/src" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(8)
words = [("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))))
         for _ in range(2000)]
text = (" ".join(rng.choice(words) for _ in range(300000))).encode()
def text_block(n):
    start = rng.randrange(0, len(text) - n) if n < len(text) else 0
    return (text[start:start + n] if n < len(text) else (text * (n // len(text) + 1))[:n])
small = 0
for i in range(20000):
    d = os.path.join(root, "group%02d" % (i % 20), "set%02d" % (i // 20 % 10))
    os.makedirs(d, exist_ok=True)
    n = rng.randint(256, 8192)
    with open(os.path.join(d, "template%05d.xml" % i), "wb") as f:
        f.write(text_block(n))
    small += n
os.makedirs(os.path.join(root, "large"), exist_ok=True)
rest = 256 * 1024 * 1024 - small
sizes = [rest // 4] * 3 + [rest - 3 * (rest // 4)]
for k, n in enumerate(sizes):
    with open(os.path.join(root, "large", "blob%d.bin" % k), "wb") as f:
        if k % 2 == 0:
            f.write(os.urandom(n))       # incompressible
        else:
            f.write(text_block(n))       # compressible
PY
find "$WORK/src" -exec touch -h -d @1600000000 {} +
"$PACKER" create -o "$WORK/kit.efd" "$WORK/src" >/dev/null
tar -C "$WORK/src" -czf "$WORK/tree.tar.gz" .
echo "   files: $(find "$WORK/src" -type f | wc -l), bytes: $(du -sb "$WORK/src" | cut -f1)," \
     "kit: $(stat -c %s "$WORK/kit.efd"), tar.gz: $(stat -c %s "$WORK/tree.tar.gz")"

ms() { date +%s%N; }
# Runs the driver; prints "open_ms job_ms job_cpu_ms".
engine() {
  local tmp=$1 target=$2 out
  out=$(TMPDIR=$tmp "$DRIVER" "$WORK/kit.efd" "$target")
  awk '{ printf "%d %d %d\n", $2 * 1000, $4 * 1000, $8 * 1000 }' <<<"$out"
}
# tar -xzf then sync; prints "wall_ms cpu_ms" (cpu: tar and gzip, user + system).
tar_sync() {
  local target=$1 s e cpu
  s=$(ms)
  cpu=$( { /usr/bin/time -f "%U %S" tar -xzf "$WORK/tree.tar.gz" -C "$target"; } 2>&1 |
         awk '{ printf "%d", ($1 + $2) * 1000 }')
  sync; e=$(ms)
  echo "$(( (e - s) / 1000000 )) $cpu"
}
# An installed tree whose every file is older than the kit's.
older_tree() {
  rm -rf "$1"; mkdir -p "$1"
  tar -xzf "$WORK/tree.tar.gz" -C "$1"
  find "$1" -type f -exec touch -d @$OLD {} +
  sync
}
fresh_dir() { rm -rf "$1"; mkdir -p "$1"; sync; }

declare -A R
add() { R[$1]="${R[$1]:-} $2"; }
for run in $(seq 1 "$RUNS"); do
  echo "== run $run of $RUNS"
  fresh_dir "$WORK/dst"; read -r o j c < <(engine "$WORK/tmp" "$WORK/dst")
  add open "$o"; add fresh "$j"; add fresh_cpu "$c"
  read -r o j c < <(engine "$WORK/tmp" "$WORK/dst"); add uptodate "$j"; add uptodate_cpu "$c"
  fresh_dir "$WORK/dst"; read -r w c < <(tar_sync "$WORK/dst"); add tar_fresh "$w"; add tar_fresh_cpu "$c"
  older_tree "$WORK/dst"; read -r o j c < <(engine "$WORK/tmp" "$WORK/dst")
  add re_samefs "$j"; add re_samefs_cpu "$c"
  older_tree "$WORK/dst"; read -r o j c < <(engine "$SHM" "$WORK/dst")
  add re_tmpfs "$j"; add re_tmpfs_cpu "$c"
  older_tree "$WORK/dst"; read -r w c < <(tar_sync "$WORK/dst"); add tar_over "$w"; add tar_over_cpu "$c"
  test -z "$(ls "$WORK/tmp" | grep p8stp || true)" || { echo "backup directory left behind"; exit 1; }
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
echo
echo "== medians of $RUNS runs (ms)"
for k in open fresh tar_fresh re_samefs re_tmpfs tar_over uptodate \
         fresh_cpu tar_fresh_cpu re_samefs_cpu re_tmpfs_cpu tar_over_cpu uptodate_cpu; do
  printf "  %-10s %8s   (runs:%s)\n" "$k" "$(median "${R[$k]}")" "${R[$k]}"
done
ratio() { awk -v a="$(median "${R[$1]}")" -v b="$(median "${R[$2]}")" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "== ratios (targets in brackets)"
echo "  fresh install / tar -xzf+sync             $(ratio fresh tar_fresh)x  [<= 1.3]"
awk -v o="$(median "${R[open]}")" -v j="$(median "${R[fresh]}")" -v t="$(median "${R[tar_fresh]}")" \
  'BEGIN { printf "  (with opening the kit: (open+fresh) / tar  %.2fx)\n", (o + j) / t }'
echo "  re-install, TMPDIR same fs / tar+sync     $(ratio re_samefs tar_over)x  [<= 2.5]"
echo "  re-install, TMPDIR tmpfs / tar+sync       $(ratio re_tmpfs tar_over)x  [<= 2.5]"
echo "  up-to-date re-run / fresh install         $(ratio uptodate fresh)x  [<= 0.2]"
echo
echo "== the same ratios in CPU time (user + system; less sensitive to other disk load)"
echo "  fresh install / tar -xzf                  $(ratio fresh_cpu tar_fresh_cpu)x"
echo "  re-install, TMPDIR same fs / tar          $(ratio re_samefs_cpu tar_over_cpu)x"
echo "  re-install, TMPDIR tmpfs / tar            $(ratio re_tmpfs_cpu tar_over_cpu)x"
echo "  up-to-date re-run / fresh install         $(ratio uptodate_cpu fresh_cpu)x"
