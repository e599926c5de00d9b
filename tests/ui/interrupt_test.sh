#!/usr/bin/env bash
# Interrupts the real installer (silent run, private Xvfb) and checks that
# nothing of the interrupted run is left:
#
#   interrupt_test.sh signals       SIGTERM, SIGINT, SIGHUP while it copies
#   interrupt_test.sh display_lost  the X server killed while it copies
#   interrupt_test.sh inflation     SIGTERM while it inflates the kit
#   interrupt_test.sh wizard        SIGTERM on the welcome page, SIGHUP with
#                                   a message box open (interactive run)
#
# "While" is made exact with SIGSTOP: the installer is held, the state is
# checked to be mid-copy (or mid-inflation), the interruption is delivered,
# and the installer is let go with SIGCONT.
# Needs VESKP8_BIN_DIR (veskp8-setup, veskp8-kit) and VESKP8_SOURCE_DIR.
# Exit status: 0 pass, 1 fail, 77 skipped.
set -uo pipefail

scenario=${1:?scenario}
bin=${VESKP8_BIN_DIR:?}
src=${VESKP8_SOURCE_DIR:?}

scratch=$(mktemp -d /tmp/veskp8-int-XXXXXX)
fs="$scratch/fs"
mkdir -p "$fs"
# Image and copies live in memory when a tmpfs can be mounted (less disk).
mount -t tmpfs -o size=4g tmpfs "$fs" 2>/dev/null && mounted=1
app="$fs/app" tmp="$fs/tmp" target="$fs/target" tree="$fs/tree"
mkdir -p "$scratch/home/.Vesk/vesklaunch" "$tmp" "$app" "$tree"
cfg0="$scratch/home/.Vesk/vesklaunch/vesklaunch.cfg"
export HOME="$scratch/home" TMPDIR="$tmp" LANG=C.UTF-8 LC_ALL=
export NO_AT_BRIDGE=1 GTK2_RC_FILES=/dev/null
export LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0"
xvfb_pid= app_pid=

fail() {
  echo "FAIL [$scenario${signal:+ $signal}]: $*" >&2
  [ -s "$scratch/stderr" ] && { echo "installer stderr:" >&2; cat "$scratch/stderr" >&2; }
  exit 1
}
cleanup() {
  [ -n "$app_pid" ] && kill -CONT "$app_pid" 2>/dev/null && kill -KILL "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  [ -n "${mounted:-}" ] && umount "$fs"
  rm -rf "$scratch"
}
trap cleanup EXIT

# shellcheck source=tests/ui/xvfb.sh
. "$src/tests/ui/xvfb.sh"
start_x() { start_xvfb || fail "Xvfb did not start"; }

part_size=300000000
# The kit: a replaced file, an up-to-date one, three large parts (one of
# them replaces a small file of the user's) and a new directory.
make_kit() {
  mkdir -p "$tree/Trade/docs" "$tree/Trade/data" "$tree/Trade/new"
  echo "configuration 2" >"$tree/Trade/trade.cf"
  echo "readme 2" >"$tree/Trade/docs/readme.txt"
  echo "x" >"$tree/Trade/new/x.txt"
  for i in 1 2 3; do head -c $part_size /dev/zero >"$tree/Trade/data/part$i.bin"; done
  find "$tree" -type f -exec touch -d '2024-03-01 12:00:00 UTC' {} +
  "$bin/veskp8-kit" create -o "$app/veskp8.efd" "$tree" --desc en P V "" >/dev/null ||
    fail "packing the kit failed"
  rm -rf "$tree"
  cp "$bin/veskp8-setup" "$app/veskp8-setup"
}

# The user's template directory, registered, so that the silent run installs there.
make_user_tree() {
  rm -rf "$target"
  mkdir -p "$target/Trade/docs" "$target/Trade/data"
  echo "configuration 1" >"$target/Trade/trade.cf"
  chmod 0640 "$target/Trade/trade.cf"
  touch -d '2001-01-01 10:00:00 UTC' "$target/Trade/trade.cf"
  echo "readme, newer" >"$target/Trade/docs/readme.txt"
  touch -d '2030-01-01 10:00:00 UTC' "$target/Trade/docs/readme.txt"
  echo "old part 2" >"$target/Trade/data/part2.bin"
  chmod 0600 "$target/Trade/data/part2.bin"
  touch -d '2002-02-02 10:00:00 UTC' "$target/Trade/data/part2.bin"
  echo "mine" >"$target/Trade/mine.txt"
  ln -s trade.cf "$target/Trade/link"
  touch -h -d '2003-03-03 10:00:00 UTC' "$target/Trade/link"
  printf 'ConfigurationTemplatesLocation=%s\n' "$target" >"$cfg0"
}

# Names, types, sizes, modes, times and link targets of files and links
# (directory times change with their names by design), then the bytes.
snapshot() {
  (cd "$target" && find . \( -type d -printf '%y %p %m\n' \) -o -printf '%y %p %s %m %T@ %l\n' |
    sort && find . -type f -size -1M -exec md5sum {} + | sort)
  cat "$cfg0"
}

start_app() {
  # Started the way a terminal starts it: SIGINT at its default, not
  # ignored as in a background job of a shell without job control.
  (cd "$app" && exec env --default-signal=INT ./veskp8-setup "$@" >"$scratch/stdout" 2>"$scratch/stderr") &
  app_pid=$!
}

# Waits for N visible windows titled like the installer's.
wait_windows() {
  local i
  for i in $(seq 300); do
    [ "$(xdotool search --onlyvisible --name '^Installing configuration$' 2>/dev/null | wc -l)" -ge "$1" ] &&
      return 0
    kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid"; fail "installer ended, status $?"; }
    sleep 0.1
  done
  fail "not $1 window(s)"
}

# The backup directories anywhere the installer puts them: the product data
# directory, the top of the template directory, the temporary directory.
backup_dirs() {
  ls -a "$HOME/.veskp8" "$target" "$tmp" 2>/dev/null | grep -E '^\.?p8stp'
}

# The size of the part being written (on a disk under a temporary name until
# complete, on a tmpfs under its own); 0 when none.
writing_size() {
  local f size
  for f in "$target"/Trade/data/.veskp8-new-* "$target"/Trade/data/part*.bin; do
    [ -f "$f" ] || continue
    size=$(stat -c %s "$f")
    [ "$size" -lt $part_size ] && { echo "$size"; return; }
  done
  echo 0
}

# The large parts already complete under their names.
complete_parts() {
  local i n=0
  for i in 1 2 3; do
    [ "$(stat -c %s "$target/Trade/data/part$i.bin" 2>/dev/null)" = $part_size ] && n=$((n + 1))
  done
  echo $n
}

# Waits until large part N (default 1) is being written, then holds the
# installer and makes sure the copy is not over.
hold_mid_copy() {
  local i before=$((${1:-1} - 1))
  for i in $(seq 3000); do
    [ "$(writing_size)" -gt 4096 ] && [ "$(complete_parts)" = $before ] && break
    kill -0 "$app_pid" 2>/dev/null || fail "installer ended before copying"
    sleep 0.01
  done
  kill -STOP "$app_pid"
  local complete=0
  for i in 1 2 3; do
    [ "$(stat -c %s "$target/Trade/data/part$i.bin" 2>/dev/null)" = $part_size ] &&
      complete=$((complete + 1))
  done
  [ $complete -lt 3 ] || fail "the copy ended before the interruption"
  backup_dirs >/dev/null || fail "no backup directory while copying"
}

# Lets the installer go and waits for its end; sets rc and took_ms.
release_and_wait() {
  local start=$(date +%s%N) i
  kill -CONT "$app_pid"
  for i in $(seq 1200); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$app_pid" 2>/dev/null && fail "installer still running 60 s after the interruption"
  wait "$app_pid"
  rc=$?
  took_ms=$((($(date +%s%N) - start) / 1000000))
  app_pid=
}

expect_nothing_left() {
  [ -s "$scratch/stdout" ] && fail "installer wrote to stdout: $(cat "$scratch/stdout")"
  [ -s "$scratch/stderr" ] && fail "installer wrote to stderr"
  backup_dirs >/dev/null && fail "backup directory left: $(backup_dirs)"
  ls -a "$target" 2>/dev/null | grep -q '^\.veskp8-' && fail "temporary name left: $(ls -a "$target")"
  ls "$tmp" | grep -q '^edf' && fail "kit image left: $(ls "$tmp")"
  return 0
}

case $scenario in
  signals)
    start_x
    make_kit
    # Each one in another part; the second part replaces a file of the user's.
    part=0
    for signal in TERM INT HUP; do
      part=$((part + 1))
      make_user_tree
      snapshot >"$scratch/before"
      start_app -S
      hold_mid_copy $part
      kill -$signal "$app_pid"
      release_and_wait
      [ "$rc" = $((128 + $(kill -l $signal))) ] || fail "exit status $rc, not death by SIG$signal"
      snapshot >"$scratch/after"
      cmp -s "$scratch/before" "$scratch/after" ||
        fail "template directory changed: $(diff "$scratch/before" "$scratch/after")"
      expect_nothing_left
      echo "SIG$signal while copying part $part: rolled back and ended by it ${took_ms} ms after it"
    done
    signal=
    ;;

  display_lost)
    start_x
    make_kit
    make_user_tree
    snapshot >"$scratch/before"
    start_app -S
    hold_mid_copy
    kill "$xvfb_pid"
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
    release_and_wait
    [ "$rc" = 1 ] || fail "exit status $rc after the display went away, not 1"
    snapshot >"$scratch/after"
    if cmp -s "$scratch/before" "$scratch/after"; then
      echo "display lost while copying: wholly old, not registered, ${took_ms} ms"
    else
      # Otherwise it must be wholly new, and registered.
      for i in 1 2 3; do
        [ "$(stat -c %s "$target/Trade/data/part$i.bin")" = $part_size ] || fail "part$i incomplete"
      done
      [ "$(cat "$target/Trade/trade.cf")" = "configuration 2" ] || fail "half old, half new"
      [ "$(grep -c "^ConfigurationTemplatesLocation=$target\$" "$cfg0")" -ge 1 ] ||
        fail "installed but not registered"
      echo "display lost while copying: wholly new and registered, ${took_ms} ms"
    fi
    expect_nothing_left
    ;;

  inflation)
    start_x
    make_kit
    make_user_tree
    snapshot >"$scratch/before"
    start_app -S
    # Inflating: the installer holds a file of the temporary directory open.
    inflating=
    for i in $(seq 3000); do
      if ls -l "/proc/$app_pid/fd" 2>/dev/null | grep -q -- "-> $tmp/"; then
        kill -STOP "$app_pid"
        inflating=1
        break
      fi
      kill -0 "$app_pid" 2>/dev/null || fail "installer ended before inflating"
      sleep 0.01
    done
    [ -n "$inflating" ] || fail "the inflation was not seen"
    # (The kit goes on inflating on its own thread once its tables are read,
    # also with the window up: stopped this early, it is still inflating.)
    kill -TERM "$app_pid"
    release_and_wait
    [ "$rc" = 143 ] || fail "exit status $rc, not death by SIGTERM"
    snapshot >"$scratch/after"
    cmp -s "$scratch/before" "$scratch/after" || fail "template directory changed"
    expect_nothing_left
    echo "SIGTERM while inflating: ended by it ${took_ms} ms after it, no image left"
    # The image has no name: not even SIGKILL leaves it in the temporary directory.
    start_app -S
    for i in $(seq 3000); do
      ls -l "/proc/$app_pid/fd" 2>/dev/null | grep -q -- "-> $tmp/" && break
      sleep 0.01
    done
    kill -KILL "$app_pid"
    wait "$app_pid" 2>/dev/null
    app_pid=
    [ -z "$(ls -A "$tmp")" ] || fail "SIGKILL while inflating left: $(ls -A "$tmp")"
    ;;

  wizard)
    # Before copying a signal ends the run at once, in whichever loop the
    # main thread waits: the wizard's own, or a message box's.
    start_x
    head -c 20000000 /dev/urandom >"$tree/random.bin"
    "$bin/veskp8-kit" create -o "$app/veskp8.efd" "$tree" --desc en P V "" >/dev/null || fail "kit"
    cp "$bin/veskp8-setup" "$app/veskp8-setup"
    for signal in TERM HUP; do
      start_app
      wait_windows 1
      if [ $signal = HUP ]; then
        xdotool windowfocus "$(xdotool search --onlyvisible --name '^Installing configuration$')"
        sleep 0.2
        xdotool key --clearmodifiers Escape
        wait_windows 2 # the question "Do you really want to cancel installation?"
      fi
      kill -STOP "$app_pid"
      kill -$signal "$app_pid"
      release_and_wait
      [ "$rc" = $((128 + $(kill -l $signal))) ] || fail "exit status $rc, not death by SIG$signal"
      expect_nothing_left
      [ -e "$cfg0" ] && fail "registered although nothing was installed: $(cat "$cfg0")"
      echo "SIG$signal before copying: ended by it ${took_ms} ms after it"
    done
    signal=
    ;;

  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
echo "PASS [$scenario]"
