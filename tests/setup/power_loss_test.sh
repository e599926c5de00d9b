#!/usr/bin/env bash
# A power loss at every flush: records every block write and every flush that
# a real ext4 issues while the installer (-Q) replaces the files of a template
# directory, then rebuilds the disk as a power cut would have left it at each
# flush and between flushes, mounts it (ext4 replays its journal), lets the
# next start's recovery run and judges what it left:
#
#   power_loss_test.sh tmpfs      HOME and the template directory on the ext4,
#                                 TMPDIR on a tmpfs that the power cut empties
#   power_loss_test.sh same_disk  TMPDIR on the same ext4
#   power_loss_test.sh two_disks  HOME on one ext4, the template directory on
#                                 another (both logged, cut at one instant),
#                                 TMPDIR on a tmpfs
#   power_loss_test.sh self_test  the judge itself: a writer that replaces
#                                 files by write and rename without fsync must
#                                 fail; the same writer with fsync must pass
#   power_loss_test.sh no_fsync   the judge itself: the installer with every
#                                 sync made a no-op (no_fsync.so) must fail
#                                 (as tmpfs otherwise)
#
# The disk: an ext4 on a loop device (direct I/O) over a file of a FUSE file
# system (block_log_fs) that logs writes and flushes in the order the device
# completes them, in the manner of dm-log-writes. While the installer runs,
# another process appends to a file of its own on each ext4 and fsyncs it
# every few milliseconds, as on a live machine: each of its syncs commits
# ext4's journal with whatever the installer has changed so far.
#
# Each crash state must end, after the recovery, with the template directory
# exactly as before (bytes, modes, times, no new names) or exactly as the
# complete installation left it; with a recovery that said so truthfully
# (nothing, "restored" only when it is as before, "completed" only when it
# is complete, never "could not be fully restored" when nothing is missing,
# its list of unrestored files naming every file not as before and no other)
# and exited accordingly (2: the kit it looked for next is not there; 10 when
# it reported files it could not restore); with no journal, backup or
# temporary file left anywhere on the disk or in TMPDIR; and with the
# launcher configuration intact.
#
# The ext4 is mounted with noauto_da_alloc: the installer must not rely on
# ext4's flush on rename over an existing file, which other file systems do
# not make.
#
# Environment: VESKP8_BIN_DIR (veskp8-setup, veskp8-kit, block_log_fs,
# block_log, no_fsync.so); VESKP8_POWER_LOSS_STATES: crash states judged per recording,
# spread evenly over the run's flushes and the points halfway between them
# (default 60; "all": the disk after every record of the run, a longer run);
# VESKP8_POWER_LOSS_MOUNT_OPTIONS (default noauto_da_alloc);
# VESKP8_POWER_LOSS_KEEP=1 keeps the scratch directory. Runs as root.
# Exit status: 0 pass, 1 fail, 77 skipped (no /dev/fuse or no loop devices).
set -uo pipefail

scenario=${1:?scenario}
case $scenario in tmpfs | same_disk | two_disks | self_test | no_fsync) ;; *)
  echo "unknown scenario $scenario" >&2
  exit 2
  ;;
esac
bin=${VESKP8_BIN_DIR:?}
states_wanted=${VESKP8_POWER_LOSS_STATES:-60}
mount_options=${VESKP8_POWER_LOSS_MOUNT_OPTIONS:-noauto_da_alloc}

skip() {
  echo "SKIP [$scenario]: $*" >&2
  exit 77
}
if ! [ -r /dev/fuse ] || ! [ -w /dev/fuse ]; then skip "no usable /dev/fuse"; fi
if ! [ -e /dev/loop-control ] || ! losetup -f >/dev/null 2>&1; then skip "no loop devices"; fi
for tool in mkfs.ext4 fusermount3; do
  command -v $tool >/dev/null || skip "no $tool"
done

scratch=$(mktemp -d /tmp/veskp8-power-XXXXXX)
mount -t tmpfs -o size=1g tmpfs "$scratch" || {
  rm -rf "$scratch"
  echo "FAIL [$scenario]: no tmpfs for the scratch directory" >&2
  exit 1
}
# The disks' mount points: HOME (and the template directory, unless a second
# disk holds it).
mnts=("$scratch/mnt")
[ "$scenario" = two_disks ] && mnts+=("$scratch/mnt2")
mnt=${mnts[0]}
mkdir -p "${mnts[@]}" "$scratch/fuse" "$scratch/app" "$scratch/recover" "$scratch/kit"
loops=() fuse_pid='' ticker_pids=()
# Inside the ext4 (paths as the installer sees them while it is mounted).
home="$mnt/home"
target="$home/.veskp8/Vesk/veskp8/tmplts"
[ "$scenario" = two_disks ] && target="${mnts[1]}/tmplts"
cfg="$home/.Vesk/vesklaunch/vesklaunch.cfg"
# Where TMPDIR is: a tmpfs that the power cut empties, or the first disk.
tmp_on_disk=''
if [ "$scenario" = same_disk ] || [ "$scenario" = self_test ]; then tmp_on_disk=1; fi

fail() {
  echo "FAIL [$scenario]: $*" >&2
  exit 1
}
detach() {
  local m l
  for m in "${mnts[@]}"; do
    if mountpoint -q "$m"; then umount "$m" || umount -l "$m"; fi
  done
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null; done
  loops=()
}
cleanup() {
  [ ${#ticker_pids[@]} -gt 0 ] && kill "${ticker_pids[@]}" 2>/dev/null
  detach
  if [ -n "$fuse_pid" ]; then
    fusermount3 -u "$scratch/fuse" 2>/dev/null || kill "$fuse_pid" 2>/dev/null
  fi
  wait 2>/dev/null
  if [ -n "${VESKP8_POWER_LOSS_KEEP:-}" ]; then
    echo "scratch kept in $scratch (a tmpfs: umount it when done)" >&2
    return
  fi
  umount "$scratch" 2>/dev/null || umount -l "$scratch"
  rmdir "$scratch"
}
trap cleanup EXIT
trap "exit 1" TERM INT HUP

# attach IMAGE MOUNTPOINT [losetup options]: mounts the ext4 in IMAGE.
attach() {
  local image=$1 at=$2 loop
  shift 2
  loop=$(losetup -f --show "$@" "$image") || fail "no loop device for $image"
  loops+=("$loop")
  mount -t ext4 -o "$mount_options" "$loop" "$at" || fail "$image does not mount"
}

# attach_all PREFIX SUFFIX [losetup options]: mounts disk N from the image
# PREFIX N SUFFIX.
attach_all() {
  local prefix=$1 suffix=$2 d
  shift 2
  for d in "${!mnts[@]}"; do attach "$prefix$d$suffix" "${mnts[$d]}" "$@"; done
}

# The kit's tree and the user's template directory. 40 files are replaced
# (small and large ones, some shrinking), 6 are new (two in existing
# directories, four in a new one), one is up to date, one is the user's own.
make_trees() {
  local tree="$scratch/kit/tree" i dir size
  mkdir -p "$tree/Trade/conf" "$tree/Trade/data" "$tree/Trade/forms/new" "$scratch/old"
  for i in $(seq -w 1 40); do
    case $((10#$i % 4)) in
      0) dir=conf size=$((1000 + 10#$i * 37)) ;;
      1) dir=data size=$((60000 + 10#$i * 4099)) ;;
      2) dir=forms size=$((9000 - 10#$i * 100)) ;;
      3) dir=. size=$((20000 + 10#$i * 777)) ;;
    esac
    head -c "$size" /dev/urandom >"$tree/Trade/$dir/f$i.bin"
    # The original: other bytes, and other sizes (larger for some).
    mkdir -p "$scratch/old/Trade/$dir"
    head -c $((size * (10#$i % 3 + 1) / 2 + 1)) /dev/urandom >"$scratch/old/Trade/$dir/f$i.bin"
  done
  for i in 1 2 3 4; do head -c $((i * 15000)) /dev/urandom >"$tree/Trade/forms/new/n$i.bin"; done
  head -c 3000 /dev/urandom >"$tree/Trade/conf/added.bin"
  head -c 70000 /dev/urandom >"$tree/Trade/data/added.bin"
  echo "kit version of a file the user updated" >"$tree/Trade/uptodate.txt"
  find "$tree" -type f -exec touch -d '2024-03-01 12:00:00 UTC' {} +
  echo "the user's newer copy" >"$scratch/old/Trade/uptodate.txt"
  echo "the user's own" >"$scratch/old/Trade/conf/mine.txt"
  find "$scratch/old" -type f -exec touch -d '2001-01-01 10:00:00 UTC' {} +
  touch -d '2030-01-01 10:00:00 UTC' "$scratch/old/Trade/uptodate.txt"
  chmod 0640 "$scratch/old/Trade/conf/f04.bin"
  chmod 0600 "$scratch/old/Trade/data/f05.bin"
  "$bin/veskp8-kit" create -o "$scratch/app/veskp8.efd" "$tree" --desc en P V "" >/dev/null ||
    fail "packing the kit failed"
  cp "$bin/veskp8-setup" "$scratch/app/"
  # The next start: the same installer without a kit beside it, so that it
  # recovers and then stops, saying the kit is not found.
  cp "$bin/veskp8-setup" "$scratch/recover/"
}

# The starting disks (start0.img ...): 64 MiB of ext4 each, with the user's
# home, the launcher configuration naming the template directory, and the
# template directory.
make_disk() {
  local d
  for d in "${!mnts[@]}"; do
    truncate -s 64M "$scratch/start$d.img"
    mkfs.ext4 -q -F -b 4096 "$scratch/start$d.img" || fail "mkfs.ext4 failed"
  done
  attach_all "$scratch/start" .img
  for d in "${mnts[@]}"; do mkdir -p "$d/other"; done
  mkdir -p "$target" "$(dirname "$cfg")" "$mnt/tmp"
  cp -a "$scratch/old/." "$target/"
  printf 'ConfigurationTemplatesLocation=%s\n' "$target" >"$cfg"
  describe "$target" >"$scratch/old.desc"
  outside >"$scratch/start.outside"
  md5sum <"$cfg" >"$scratch/cfg.md5"
  detach
}

# Every name below DIR: path, type, size, mode, modification time, MD5 of a
# file's bytes ("-" where none), sorted by path.
describe() {
  (cd "$1" && find . -mindepth 1 -printf '%p\t%y\t%s\t%m\t%T@\n' |
    awk -F'\t' -v OFS='\t' '$2 == "d" { $3 = "-"; $5 = "-" } { print }' | sort >"$scratch/meta" &&
    find . -type f -print0 | xargs -0r md5sum | awk '{ print substr($0, 35) "\t" $1 }' |
    sort >"$scratch/sums")
  awk -F'\t' -v OFS='\t' 'NR == FNR { sum[$1] = $2; next }
    { print $0, ($1 in sum ? sum[$1] : "-") }' "$scratch/sums" "$scratch/meta"
}

# The names on the disks outside the template directory, except the
# tickers' own files and lost+found: "TYPE ./PATH", the second disk's under
# ./disk1/.
outside() {
  local d
  for d in "${!mnts[@]}"; do
    (cd "${mnts[$d]}" && find . -mindepth 1 \( -path ./lost+found -o -path ./other \
      -o -path "./${target#"${mnts[$d]}"/}" \) -prune -o -printf '%y %p\n' |
      sed "s|^\(.\) \./|\1 ./$([ "$d" = 0 ] || echo "disk$d/")|" | sort)
  done
}

# The writer of the self-test: replaces every file of the kit's tree in the
# template directory by writing a temporary file and renaming it over the
# old one; with "fsync" it syncs the temporary file before the rename.
naive_writer() {
  local mode=$1 file
  (cd "$scratch/kit/tree" && find . -type f | sort) | while read -r file; do
    mkdir -p "$(dirname "$target/$file")"
    cp "$scratch/kit/tree/$file" "$target/$file.tmp"
    touch -r "$scratch/kit/tree/$file" "$target/$file.tmp"
    [ "$mode" = fsync ] && sync "$target/$file.tmp"
    mv "$target/$file.tmp" "$target/$file"
  done
}

# record NAME COMMAND...: runs COMMAND on the logged disk with the ticker
# going. Leaves $scratch/NAME.log, NAME.records (block_log list),
# NAME.range (the first and last record of the run) and NAME.new.desc.
record() {
  local name=$1 start end status d images=()
  shift
  for d in "${!mnts[@]}"; do
    cp "$scratch/start$d.img" "$scratch/recorded$d.img"
    images+=("$scratch/recorded$d.img")
  done
  "$bin/block_log_fs" "$scratch/$name.log" "$scratch/fuse" "${images[@]}" &
  fuse_pid=$!
  for _ in $(seq 100); do [ -e "$scratch/fuse/disk0" ] && break; sleep 0.05; done
  [ -e "$scratch/fuse/disk0" ] || fail "block_log_fs did not start"
  attach_all "$scratch/fuse/disk" "" --direct-io=on
  for d in "${mnts[@]}"; do
    "$bin/block_log" tick "$d/other/ticker" 2000 &
    ticker_pids+=($!)
  done
  sleep 0.2
  for d in "${mnts[@]}"; do sync -f "$d"; done
  start=$("$bin/block_log" list "$scratch/$name.log" | wc -l)
  "$@"
  status=$?
  for d in "${mnts[@]}"; do sync -f "$d"; done
  end=$("$bin/block_log" list "$scratch/$name.log" | wc -l)
  kill "${ticker_pids[@]}"
  wait "${ticker_pids[@]}" 2>/dev/null
  ticker_pids=()
  [ "$status" = 0 ] || fail "the recorded run ended with status $status: $(cat "$scratch/err")"
  describe "$target" >"$scratch/$name.new.desc"
  outside >"$scratch/$name.outside"
  detach
  fusermount3 -u "$scratch/fuse" || fail "block_log_fs does not unmount"
  wait "$fuse_pid"
  fuse_pid=
  "$bin/block_log" list "$scratch/$name.log" >"$scratch/$name.records" ||
    fail "the log does not read"
  echo "$start $end" >"$scratch/$name.range"
  # The log must rebuild the recorded disks exactly.
  for d in "${!mnts[@]}"; do
    cp "$scratch/start$d.img" "$scratch/replayed.img"
    "$bin/block_log" apply "$scratch/$name.log" "$scratch/replayed.img" 0 \
      "$(wc -l <"$scratch/$name.records")" "$d" || fail "the log does not replay"
    cmp -s "$scratch/replayed.img" "$scratch/recorded$d.img" ||
      fail "the replayed log differs from the recorded disk $d"
    rm -f "$scratch/replayed.img" "$scratch/recorded$d.img"
  done
}

run_installer() {
  env HOME="$home" TMPDIR="$installer_tmp" LANG=C.UTF-8 LC_ALL= "$@" \
    "$scratch/app/veskp8-setup" -Q "-D$target" >"$scratch/out" 2>"$scratch/err"
}

# The crash states of a recording: "PREFIX KIND" lines (the disk holds the
# records before PREFIX), the same disk counted once. By default one after
# each flush during the run and one halfway between two flushes with writes
# between, spread evenly down to $states_wanted, the last one always kept;
# with "all" one after every record of the run.
crash_states() {
  local name=$1
  read -r start end <"$scratch/$name.range"
  awk -v start="$start" -v end="$end" -v every="$([ "$states_wanted" = all ] && echo 1)" '
    function add(prefix, kind, key) {
      key = writes[prefix - 1]
      if (prefix > start && prefix <= end && !(key in seen)) { seen[key] = 1; print prefix, kind }
    }
    { writes[$1] = ($1 > 0 ? writes[$1 - 1] : 0) + ($2 != "flush") }
    every && $1 >= start && $1 < end { add($1 + 1, $2 == "flush" ? "flush" : "write") }
    !every && $2 == "flush" && $1 >= start && $1 < end {
      mid = int((last + $1 + 1) / 2)
      if (last >= start && writes[mid - 1] > writes[last - 1] && writes[mid - 1] < writes[$1]) add(mid, "between")
      add($1 + 1, "flush")
      last = $1 + 1
    }
    $2 == "flush" && $1 < start { last = $1 + 1 }
    END { add(end, "end") }' "$scratch/$name.records" | sort -n -k1,1 >"$scratch/$name.all"
  local total
  total=$(wc -l <"$scratch/$name.all")
  if [ "$states_wanted" = all ] || [ "$total" -le "$states_wanted" ]; then
    cp "$scratch/$name.all" "$scratch/$name.states"
  else
    awk -v n="$states_wanted" -v total="$total" '
      BEGIN { for (k = 0; k < n; k++) pick[int(k * (total - 1) / (n - 1) + 0.5) + 1] = 1 }
      FNR in pick' "$scratch/$name.all" >"$scratch/$name.states"
  fi
}

# judge_tree OLD NEW CUR ALLSUMS: compares the template directory with its
# two allowed forms. First line: old, new or mixed; then, for mixed, a line
# counting the names as before and as installed and one line per name that is
# neither; then one line for every original whose bytes are nowhere on the
# disk.
judge_tree() {
  awk -F'\t' '
    FILENAME == ARGV[1] { old[$1] = $0; oldsum[$1] = $6; names[$1] = 1; next }
    FILENAME == ARGV[2] { new[$1] = $0; newsum[$1] = $6; names[$1] = 1; next }
    FILENAME == ARGV[3] { cur[$1] = $0; size[$1] = $3; sum[$1] = $6; type[$1] = $2; names[$1] = 1; next }
    { anywhere[$1] = 1 }
    END {
      allold = allnew = 1; asold = asnew = 0; details = ""
      for (n in names) {
        isold = (n in old) ? (n in cur && cur[n] == old[n]) : !(n in cur)
        isnew = (n in new) ? (n in cur && cur[n] == new[n]) : !(n in cur)
        same = (n in old) && (n in new) && old[n] == new[n]
        if (!isold) allold = 0; else if (!same) asold++
        if (!isnew) allnew = 0; else if (!same) asnew++
        if (isold || isnew) continue
        if (!(n in cur)) what = "file missing"
        else if (!(n in old) && !(n in new)) what = "left behind"
        else if (type[n] == "f" && size[n] == 0) what = "file empty"
        else if (type[n] == "f" && (sum[n] == (n in old ? oldsum[n] : "") || sum[n] == (n in new ? newsum[n] : ""))) what = "file mode or time wrong"
        else if (type[n] == "f") what = "file torn (" size[n] " bytes, neither old nor new)"
        else what = "changed"
        details = details what ": " substr(n, 3) "\n"
      }
      print (allold ? "old" : allnew ? "new" : "mixed")
      if (!allold && !allnew) printf "half old, half new: %d names as before, %d as installed\n%s", asold, asnew, details
      if (!allnew) for (n in oldsum) if (oldsum[n] != "-" && !(oldsum[n] in anywhere)) print "original lost: " substr(n, 3)
    }' "$@"
}

# judge PREFIX: the disk at that point, recovered; prints the faults found,
# one per line ("" when none), and the recovery's status on the first line.
judge() {
  local name=$1 prefix=$2 mode=$3 applied d
  applied=$(cat "$scratch/cursor.at")
  for d in "${!mnts[@]}"; do
    "$bin/block_log" apply "$scratch/$name.log" "$scratch/cursor$d.img" "$applied" "$prefix" "$d" ||
      fail "replay to $prefix failed"
    cp --sparse=always "$scratch/cursor$d.img" "$scratch/crash$d.img"
  done
  echo "$prefix" >"$scratch/cursor.at"
  attach_all "$scratch/crash" .img
  local tmp="$mnt/tmp" status=0 problems=()
  if [ -z "$tmp_on_disk" ]; then
    # The power cut emptied the tmpfs.
    rm -rf "$scratch/tmp"
    mkdir -p "$scratch/tmp"
    tmp="$scratch/tmp"
  fi
  : >"$scratch/out"
  : >"$scratch/err"
  # What the power cut left, for the report of a failing state.
  describe "$target" >"$scratch/pre.desc"
  judge_tree "$scratch/old.desc" "$scratch/$name.new.desc" "$scratch/pre.desc" /dev/null |
    grep -v '^original lost' | awk 'NR == 1 { tree = $0; next }
      /^half old/ { sub(/^half old, half new: /, ""); counts = $0; next }
      { shown++; if (shown <= 4) more = more "; " $0 }
      END { printf "the power cut left the directory %s%s%s%s\n", tree, (counts ? " (" counts ")" : ""),
        more, (shown > 4 ? "; and " shown - 4 " more" : "") }' >"$scratch/left"
  if [ "$mode" = installer ]; then
    env HOME="$home" TMPDIR="$tmp" LANG=C.UTF-8 LC_ALL= \
      timeout 60 "$scratch/recover/veskp8-setup" -Q >"$scratch/out" 2>"$scratch/err"
    status=$?
  fi
  describe "$target" >"$scratch/cur.desc"
  find "${mnts[@]}" "$tmp" -type f -print0 | xargs -0r md5sum | awk '{ print $1 }' | sort -u >"$scratch/disk.sums"
  judge_tree "$scratch/old.desc" "$scratch/$name.new.desc" "$scratch/cur.desc" "$scratch/disk.sums" \
    >"$scratch/verdict"
  local tree words=none line
  tree=$(head -n 1 "$scratch/verdict")
  grep -q 'The directory has been restored' "$scratch/err" && words=restored
  grep -q 'could not be fully restored' "$scratch/err" && words=incomplete
  grep -q 'It has now been completed' "$scratch/err" && words=completed
  grep -q 'A damaged record' "$scratch/err" && words=damaged
  if [ "$mode" = installer ]; then
    [ "$(grep -c 'earlier installation\|damaged record' "$scratch/err")" -le 1 ] ||
      problems+=("more than one notice: $(tr '\n' ' ' <"$scratch/err")")
    case $tree/$words in
      old/none | old/restored | new/none | new/completed | mixed/incomplete) ;;
      old/*) problems+=("false alarm: the directory is as before, the recovery said $words") ;;
      new/*) problems+=("false alarm: the installation is complete, the recovery said $words") ;;
      mixed/restored) problems+=("false \"restored\": the directory is not as before") ;;
      mixed/completed) problems+=("false \"completed\": the installation is not complete") ;;
      mixed/none) problems+=("silence: nothing said about a directory half old, half new") ;;
    esac
    local want=2
    case $words in incomplete | damaged) want=10 ;; esac
    [ "$status" = "$want" ] || problems+=("wrong status: $status after \"$words\" (expected $want)")
    if [ "$want" = 2 ]; then
      tail -n 1 "$scratch/err" | grep -q 'veskp8.efd not found' ||
        problems+=("no kit check: the next start did not go on to look for the kit")
    fi
    [ -s "$scratch/out" ] && problems+=("stdout: $(head -c 200 "$scratch/out")")
    if [ "$words" = incomplete ]; then
      local list
      list=$(find "$home/.veskp8" -maxdepth 1 -name 'unrestored-*.txt' | head -n 1)
      if [ -z "$list" ]; then
        problems+=("unlisted: no list of unrestored files")
      else
        # Every name that is not as before must be on the list.
        while IFS= read -r line; do
          line=${line#*: }
          grep -qxF "$target/$line" "$list" || problems+=("unlisted: $line is not as before")
        done < <(grep '^file ' "$scratch/verdict")
        # And nothing that is as before.
        while IFS= read -r line; do problems+=("false alarm: $line listed, yet as before"); done < <(
          awk -F'\t' -v t="$target/" '
            FILENAME == ARGV[1] { old[$1] = $0; next }
            FILENAME == ARGV[2] { if (($1 in old) && old[$1] == $0) same[$1] = 1; next }
            { rel = "./" substr($0, length(t) + 1); if (index($0, t) == 1 && (rel in same)) print substr(rel, 3) }
          ' "$scratch/old.desc" "$scratch/cur.desc" "$list")
      fi
    fi
  fi
  while IFS= read -r line; do problems+=("$line"); done < <(sed 1d "$scratch/verdict")
  # Nothing of the interrupted run may stay: journal, backups, temporaries.
  # Allowed outside the template directory: what was there before or after
  # the recorded run, the list of unrestored files when there is one, and the
  # inflated kit image in TMPDIR (no journal names it; counted apart).
  outside | grep -vxFf <(cat "$scratch/start.outside" "$scratch/$name.outside") |
    grep -v "^f \./home/\.veskp8/unrestored-.*\.txt$" | grep -v '^f \./tmp/edf' >"$scratch/extra"
  while IFS= read -r line; do problems+=("left behind: ${line#? ./}"); done <"$scratch/extra"
  if [ "$tmp" != "$mnt/tmp" ]; then
    while IFS= read -r line; do problems+=("left behind: TMPDIR/$line"); done < <(ls -A "$tmp")
  fi
  [ -n "$(find "$mnt/tmp" -maxdepth 1 -name 'edf*')" ] && echo "$prefix" >>"$scratch/$name.images"
  if [ -e "$cfg" ]; then
    md5sum <"$cfg" | cmp -s - "$scratch/cfg.md5" || grep -qxF "ConfigurationTemplatesLocation=$target" "$cfg" ||
      problems+=("configuration damaged: $(head -c 100 "$cfg")")
  else
    problems+=("configuration lost")
  fi
  detach
  echo "$tree $words $status"
  printf '%s\n' "${problems[@]}"
}

# judge_all NAME MODE: judges the crash states of a recording; prints a
# summary, leaves the failing states in NAME.failures (NAME.shown: shortened)
# and their number in $failed.
judge_all() {
  local name=$1 mode=$2 prefix kind count=0 d
  failed=0
  crash_states "$name"
  for d in "${!mnts[@]}"; do cp "$scratch/start$d.img" "$scratch/cursor$d.img"; done
  echo 0 >"$scratch/cursor.at"
  : >"$scratch/$name.failures"
  while read -r prefix kind; do
    count=$((count + 1))
    judge "$name" "$prefix" "$mode" >"$scratch/judged"
    read -r tree words status <"$scratch/judged"
    echo "$tree $words $status" >>"$scratch/$name.verdicts"
    if [ "$(sed -n '2,$p' "$scratch/judged" | grep -c .)" -gt 0 ]; then
      failed=$((failed + 1))
      {
        echo "state $count (log record $prefix, $kind): directory $tree, recovery said $words, status $status"
        sed -n '2,$p' "$scratch/judged" | grep . | sed 's/^/  /'
      } >>"$scratch/$name.failures"
      {
        echo "state $count (log record $prefix, $kind): directory $tree, recovery said $words, status $status"
        echo "  ($(cat "$scratch/left"))"
        sed -n '2,$p' "$scratch/judged" | grep . | awk -v max=8 '
          NR <= max { print "  " $0 } END { if (NR > max) print "  ... and " NR - max " more" }'
      } >>"$scratch/$name.shown"
    fi
  done <"$scratch/$name.states"
  read -r start end <"$scratch/$name.range"
  echo "$name: $count crash states judged (of $(wc -l <"$scratch/$name.all") between records" \
    "$start and $end), $failed failing; the directory after recovery:" \
    "$(awk '{ n[$1]++ } END { for (k in n) printf "%s %d  ", k, n[k] }' "$scratch/$name.verdicts")"
  echo "  recovery said: $(awk '{ n[$2]++ } END { for (k in n) printf "%s %d  ", k, n[k] }' "$scratch/$name.verdicts")"
  [ -s "$scratch/$name.images" ] &&
    echo "  (the kit image stayed in TMPDIR in $(wc -l <"$scratch/$name.images") states)"
  # States per kind of fault: the text before the first ":" of its lines.
  awk '/^state/ { delete seen; next }
    { sub(/^  /, ""); sub(/:.*/, ""); sub(/ \(.*/, ""); if (!($0 in seen)) { seen[$0] = 1; n[$0]++ } }
    END { for (k in n) printf "  %3d states: %s\n", n[k], k }' "$scratch/$name.failures" | sort -rn -k1,1
}

make_trees
make_disk
case $scenario in
  tmpfs | same_disk | two_disks | no_fsync)
    if [ -z "$tmp_on_disk" ]; then
      mkdir -p "$scratch/tmp"
      installer_tmp="$scratch/tmp"
    else
      installer_tmp="$mnt/tmp"
    fi
    if [ "$scenario" = no_fsync ]; then
      record run run_installer LD_PRELOAD="$bin/no_fsync.so" \
        ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
    else
      record run run_installer
    fi
    grep -q '^new=6 replaced=40 unchanged=1 ' "$scratch/out" ||
      fail "the recorded installation did not replace 40 files: $(cat "$scratch/out")"
    judge_all run installer
    if [ "$scenario" = no_fsync ]; then
      grep -q '^  \(original lost\|file \(torn\|empty\|missing\)\)' "$scratch/run.failures" ||
        fail "an installer that never syncs lost nothing in $(wc -l <"$scratch/run.states") crash states"
    elif [ "$failed" -gt 0 ]; then
      cat "$scratch/run.shown" >&2
      fail "$failed crash states failed"
    fi
    ;;
  self_test)
    # Without fsync the judge must find a file that is neither old nor new;
    # with it, none. The writer has no transaction, so only whole files are
    # judged here: a directory half old, half new is its design.
    record nosync naive_writer nosync
    judge_all nosync writer >/dev/null
    grep -q '^  file \(torn\|empty\|missing\)' "$scratch/nosync.failures" ||
      fail "write and rename without fsync went unnoticed in $(wc -l <"$scratch/nosync.states") crash states"
    echo "without fsync: $(grep -c '^state' "$scratch/nosync.failures") of" \
      "$(wc -l <"$scratch/nosync.states") crash states with a torn, empty or missing file"
    record synced naive_writer fsync
    judge_all synced writer >/dev/null
    if grep -q '^  file \(torn\|empty\|missing\)' "$scratch/synced.failures"; then
      grep '^state\|^  file' "$scratch/synced.failures" | head -n 40 >&2
      fail "write, fsync and rename judged broken"
    fi
    echo "with fsync: $(wc -l <"$scratch/synced.states") crash states, every file whole"
    ;;
esac
echo "PASS [$scenario]"
