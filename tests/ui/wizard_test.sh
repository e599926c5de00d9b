#!/usr/bin/env bash
# Drives the real installer in a private X server (Xvfb) with xdotool.
#
#   wizard_test.sh SCENARIO
#
# Needs VESKP8_BIN_DIR (veskp8-setup, veskp8-kit, ui_probe) and
# VESKP8_SOURCE_DIR. Every scenario runs in its own scratch directory with
# its own HOME and TMPDIR, and its own display. With VESKP8_SCREENSHOTS set to
# a directory, the pages are also saved there as PNG files.
# Exit status: 0 pass, 1 fail, 77 skipped.
set -uo pipefail

scenario=${1:?scenario}
bin=${VESKP8_BIN_DIR:?}
src=${VESKP8_SOURCE_DIR:?}
TITLE_EN="Installing configuration"

scratch=$(mktemp -d /tmp/veskp8-ui-XXXXXX)
app="$scratch/app"
mkdir -p "$scratch/home" "$scratch/tmp" "$app" "$scratch/bin" "$scratch/tree"
export HOME="$scratch/home" TMPDIR="$scratch/tmp"
export LANG=C.UTF-8 LC_ALL=
unset LANGUAGE
export LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0"
# Keep GTK away from the user's settings and accessibility bus; the look of
# the fit test (DejaVu Sans 10 on a 100 dpi server), which the screenshots show.
export NO_AT_BRIDGE=1 GTK2_RC_FILES="$src/tests/ui/fit.gtkrc"
xvfb_pid=
app_pid=

fail() {
  echo "FAIL [$scenario]: $*" >&2
  if [ -n "${DISPLAY:-}" ]; then
    import -display "$DISPLAY" -window root "$scratch/failure.png" 2>/dev/null &&
      echo "screen at failure: $scratch/failure.png" >&2
  fi
  [ -s "$scratch/stderr" ] && { echo "installer stderr:" >&2; cat "$scratch/stderr" >&2; }
  keep=1
  exit 1
}
skip() { echo "SKIP [$scenario]: $*"; exit 77; }
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  for m in $(cat "$scratch/mounts" 2>/dev/null); do umount "$m" 2>/dev/null; done
  [ -z "${keep:-}" ] && rm -rf "$scratch"
}
trap cleanup EXIT

# shellcheck source=tests/ui/xvfb.sh
. "$src/tests/ui/xvfb.sh"
start_x() {
  start_xvfb -dpi 100 || fail "Xvfb did not start"
  # Screenshots show the windows with a window manager's frames and titles.
  if [ -n "${VESKP8_SCREENSHOTS:-}" ] && command -v openbox >/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    sleep 1
  fi
}

# make_kit DIR [packer args...]: packs the tree into $app/veskp8.efd.
make_kit() {
  local tree=$1
  shift
  "$bin/veskp8-kit" create -o "$app/veskp8.efd" "$tree" "$@" >/dev/null ||
    fail "packing the kit failed"
}

default_tree() {
  mkdir -p "$scratch/tree/Trade/docs" "$scratch/tree/Trade/forms"
  echo "configuration" >"$scratch/tree/Trade/trade.cf"
  echo "readme" >"$scratch/tree/Trade/docs/readme.txt"
  echo "form" >"$scratch/tree/Trade/forms/invoice.st"
  touch -d '2024-03-01 12:00:00 UTC' "$scratch/tree/Trade/trade.cf"
  touch -d '2024-03-02 08:30:00 UTC' "$scratch/tree/Trade/docs/readme.txt"
  make_kit "$scratch/tree" --desc en "Trade Management" "Vesk Software" 'Trade\docs\readme.txt'
}

# A kit that takes several seconds to copy: large, well-compressing files
# (several, so that the bar moves from one to the next).
slow_tree() {
  default_tree
  mkdir -p "$scratch/tree/Trade/data"
  for i in 1 2 3 4 5 6; do head -c 250000000 /dev/zero >"$scratch/tree/Trade/data/part$i.bin"; done
  make_kit "$scratch/tree" --desc en "Trade Management" "Vesk Software" 'Trade\docs\readme.txt'
  rm -rf "$scratch/tree/Trade/data"
}

# A recording xdg-open first in PATH.
# Two tmpfs mounts for the failure pages: $scratch/ro (read-only, $1 in
# size) and $scratch/small (1 MiB); removed by cleanup.
mount_ro_and_small() {
  mkdir -p "$scratch/ro" "$scratch/small"
  mount -t tmpfs -o "size=$1" tmpfs "$scratch/ro" 2>/dev/null || skip "cannot mount a tmpfs here"
  echo "$scratch/ro" >>"$scratch/mounts"
  mount -o remount,ro "$scratch/ro" || fail "cannot make the tmpfs read-only"
  mount -t tmpfs -o size=1m tmpfs "$scratch/small" || fail "cannot mount a small tmpfs"
  echo "$scratch/small" >>"$scratch/mounts"
}

fake_xdg_open() {
  cat >"$scratch/bin/xdg-open" <<SH
#!/bin/sh
printf '%s\n' "\$#" "\$@" >"$scratch/xdg-open.log"
echo "noise on stdout"
echo "noise on stderr" >&2
SH
  chmod +x "$scratch/bin/xdg-open"
  export PATH="$scratch/bin:$PATH"
}

start_app() {
  cp "$bin/veskp8-setup" "$app/veskp8-setup"
  (cd "$app" && exec ./veskp8-setup "$@" >"$scratch/stdout" 2>"$scratch/stderr") &
  app_pid=$!
}

# Waits for the process to end; checks exit status 0 and silence.
expect_exit() {
  local i
  for i in $(seq 300); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "installer still running"
  wait "$app_pid"
  local rc=$?
  app_pid=
  [ "$rc" = 0 ] || fail "exit status $rc"
  [ -s "$scratch/stdout" ] && fail "installer wrote to stdout: $(cat "$scratch/stdout")"
  [ -s "$scratch/stderr" ] && fail "installer wrote to stderr"
  return 0
}

running() { kill -0 "$app_pid" 2>/dev/null; }

# Visible top-level windows of the installer, by title.
windows() { xdotool search --onlyvisible --name "^${1:-$TITLE_EN}\$" 2>/dev/null; }

wait_main() {
  local title=${1:-$TITLE_EN} i w
  for i in $(seq 200); do
    for w in $(windows "$title"); do
      if [ "$(width_of "$w")" = 500 ]; then
        main=$w
        locate
        return 0
      fi
    done
    running || fail "installer ended before its window appeared"
    sleep 0.1
  done
  fail "no wizard window titled '$title'"
}

# wait_wizard [TITLE]: like wait_main, but reads the title from _NET_WM_NAME
# (UTF-8), which GTK always sets; xdotool matches WM_NAME, which GTK leaves
# out when the locale cannot encode the title (Cyrillic under LANG=C).
wait_wizard() {
  local i w
  for i in $(seq 200); do
    for w in $(xdotool search --onlyvisible --classname '^veskp8-setup$' 2>/dev/null); do
      [ "$(width_of "$w")" = 500 ] || continue
      if [ -n "${1:-}" ] && [ "$(xprop -id "$w" _NET_WM_NAME | sed -n 's/^[^"]*"\(.*\)"$/\1/p')" != "$1" ]; then
        fail "wizard titled '$(xprop -id "$w" _NET_WM_NAME)', not '$1'"
      fi
      main=$w
      locate
      return 0
    done
    running || fail "installer ended before its window appeared"
    sleep 0.1
  done
  fail "no wizard window"
}

width_of() { xwininfo -id "$1" 2>/dev/null | sed -n 's/.*Width: *//p'; }

# The message box: a visible window with the title that is not the wizard.
box=
wait_box() {
  local i w
  for i in $(seq 200); do
    for w in $(windows "${1:-$TITLE_EN}"); do
      # (A box with a long text is as wide as the wizard: known by its id.)
      if [ "$w" != "${main:-}" ] && { [ -n "${main:-}" ] || [ "$(width_of "$w")" != 500 ]; }; then
        box=$w
        sleep 0.3
        return 0
      fi
    done
    running || fail "installer ended without a message box"
    sleep 0.1
  done
  fail "no message box"
}
box_count() {
  local n=0 w
  for w in $(windows "${1:-$TITLE_EN}"); do [ "$w" != "${main:-}" ] && n=$((n + 1)); done
  echo $n
}
# Answers the box with a key (Return = OK, alt+y / alt+n) and waits until it is gone.
answer_box() {
  xdotool windowfocus "$box" 2>/dev/null
  sleep 0.2
  xdotool key --clearmodifiers "$1"
  local i
  for i in $(seq 100); do
    xdotool getwindowname "$box" >/dev/null 2>&1 || { box=; sleep 0.2; return 0; }
    windows | grep -qx "$box" || { box=; sleep 0.2; return 0; }
    sleep 0.1
  done
  fail "message box did not close after $1"
}

# box_text: the open box's text (its label is selectable): focus moves from
# the button to the label, which selects all of it, and is copied.
box_text() {
  xdotool windowfocus "$box" 2>/dev/null
  sleep 0.2
  xdotool key --clearmodifiers shift+Tab
  sleep 0.2
  xdotool key --clearmodifiers ctrl+a ctrl+c
  sleep 0.2
  "$bin/ui_probe" clipboard
  xdotool key --clearmodifiers Tab # back to the button
  sleep 0.2
}

# click_yes: presses Yes, the box's right-hand button in every language.
click_yes() {
  geometry_of "$box"
  xdotool mousemove $((X + WIDTH - 50)) $((Y + HEIGHT - 25)) sleep 0.1 click 1
  sleep 0.5
  box=
}
# quit_wizard [TITLE]: the window manager's close, and Yes to the question.
quit_wizard() {
  "$bin/ui_probe" close "$main" || fail "could not send the close request"
  wait_box "${1:-$TITLE_EN}"
  click_yes
}

# The wizard's client position (a window manager may move it after mapping).
# (xwininfo: xdotool's geometry counts a frame's offset twice.)
geometry_of() { # sets X Y WIDTH HEIGHT of a client window, in root coordinates
  local info
  info=$(xwininfo -id "$1")
  X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  WIDTH=$(sed -n 's/.*Width: *//p' <<<"$info")
  HEIGHT=$(sed -n 's/.*Height: *//p' <<<"$info")
}
locate() {
  geometry_of "$main"
  wx=$X wy=$Y
}
click() { # x y inside the wizard
  locate
  # (No --sync: it waits for a motion event that never comes when the pointer
  # is already there.)
  xdotool mousemove $((wx + $1)) $((wy + $2)) sleep 0.1 click 1
  sleep 0.4
}
click_next() { click 350 335; }
click_back() { click 270 335; }
click_cancel() { click 450 335; }
key_main() {
  xdotool windowfocus "$main" 2>/dev/null
  sleep 0.1
  xdotool key --clearmodifiers "$@"
  sleep 0.4
}

# Colour of a pixel inside the wizard as "R G B".
pixel() {
  locate
  import -display "$DISPLAY" -window root -crop "1x1+$((wx + $1))+$((wy + $2))" -depth 8 txt:- |
    sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
# The page image sits at (0, 0) on the welcome, directory, success and error pages.
has_page_image() { local r g b; read -r r g b < <(pixel 20 20); [ "$b" -gt $((r + 40)) ]; }
# The entry's white field at (175, 290) is there only on the directory page.
has_entry() { local r g b; read -r r g b < <(pixel 176 298); [ "$r" -ge 250 ] && [ "$g" -ge 250 ]; }

expect_page() {
  local page=$1 i
  # Up to 20 s: a loaded machine (sanitizer builds, CI) can be slow to redraw.
  for i in $(seq 200); do
    case $page in
      welcome | final) has_page_image && ! has_entry && return 0 ;;
      directory) has_page_image && has_entry && return 0 ;;
      copying) ! has_page_image && return 0 ;;
    esac
    sleep 0.1
  done
  fail "expected the $page page"
}

entry_text() {
  click 300 290
  key_main ctrl+a ctrl+c
  "$bin/ui_probe" clipboard
}
# set_entry TEXT: types TEXT into the directory entry. xdotool types letters
# that the keyboard map lacks (Cyrillic) by remapping a key for each one and
# now and then loses one on a loaded machine, so the entry is read back and
# typed again (at most three times); the caller still checks what it holds.
set_entry() {
  local attempt
  for attempt in 1 2 3; do
    click 300 290
    key_main ctrl+a BackSpace
    xdotool type --delay $((5 * attempt * attempt)) "$1"
    sleep 0.3
    [ "$(entry_text)" = "$1" ] && return 0
  done
}

# frame_geometry WINDOW: WxH+X+Y of the window with its frame (if any).
# From the welcome page to the copying (or an error) page with directory $1.
choose_directory() {
  click_next
  set_entry "$1"
  click_next
}

frame_geometry() {
  local l=0 r=0 t=0 b=0 extents
  geometry_of "$1"
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ' ')
  [ -n "$extents" ] && IFS=, read -r l r t b <<<"$extents"
  echo "$((WIDTH + l + r))x$((HEIGHT + t + b))+$((X - l))+$((Y - t))"
}

# shot NAME: the wizard (with a message box over it, if one is open), or the
# message box alone when there is no wizard.
shot() {
  [ -n "${VESKP8_SCREENSHOTS:-}" ] || return 0
  mkdir -p "$VESKP8_SCREENSHOTS"
  sleep 0.5
  local window=${main:-$box}
  import -display "$DISPLAY" -window root -crop "$(frame_geometry "$window")" +repage \
    "$VESKP8_SCREENSHOTS/$1.png"
}

tick_seconds() { stat -c %Y "$1"; }

proposal="$scratch/home/.veskp8/Vesk/veskp8/tmplts/"
cfg0="$scratch/home/.Vesk/vesklaunch/vesklaunch.cfg"
cfg1="$scratch/home/.Vesk/vesklauncht/vesklaunch.cfg"

case $scenario in
  happy_path)
    start_x
    default_tree
    fake_xdg_open
    start_app
    wait_main
    expect_page welcome
    shot 01-welcome
    click_next
    expect_page directory
    [ "$(entry_text)" = "$proposal" ] || fail "entry shows '$(entry_text)', not the proposal"
    target="$scratch/my templates"
    set_entry "$target"
    shot 02-directory
    click_next
    expect_page final
    shot 04-success
    [ -f "$target/Trade/trade.cf" ] || fail "trade.cf not installed"
    [ "$(cat "$target/Trade/forms/invoice.st")" = form ] || fail "invoice.st content"
    [ "$(tick_seconds "$target/Trade/trade.cf")" = "$(date -d '2024-03-01 12:00:00 UTC' +%s)" ] ||
      fail "modification time of trade.cf not kept"
    [ "$(cat "$cfg0")" = "ConfigurationTemplatesLocation=$target" ] ||
      fail "launcher file: $(cat "$cfg0")"
    click_next # Finish
    expect_exit
    [ "$(cat "$scratch/xdg-open.log")" = "$(printf '1\n%s' "$target/Trade/docs/readme.txt")" ] ||
      fail "xdg-open called with: $(cat "$scratch/xdg-open.log" 2>/dev/null)"
    ;;

  description_unticked)
    start_x
    default_tree
    fake_xdg_open
    start_app
    wait_main
    choose_directory "$scratch/t"
    expect_page final
    click 177 280 # the check button
    click_next
    expect_exit
    [ -e "$scratch/xdg-open.log" ] && fail "xdg-open ran although the box was cleared"
    [ -f "$scratch/t/Trade/trade.cf" ] || fail "not installed"
    ;;

  back_resets_entry)
    start_x
    default_tree
    start_app
    wait_main
    click_next
    set_entry "/somewhere/else"
    click_back
    expect_page welcome
    click_next
    expect_page directory
    [ "$(entry_text)" = "$proposal" ] || fail "entry not reset: '$(entry_text)'"
    key_main Escape
    wait_box
    answer_box alt+y
    expect_exit
    ;;

  preset_directory)
    # -D presets the directory page (backslashes become slashes), and the
    # silent run installs into it instead of the proposal.
    start_x
    default_tree
    start_app '-D\preset\dir'
    wait_main
    click_next
    expect_page directory
    [ "$(entry_text)" = "/preset/dir" ] || fail "entry shows '$(entry_text)', not the -D value"
    key_main Escape
    wait_box
    answer_box alt+y
    expect_exit
    start_app -S "-D$scratch/chosen"
    expect_exit
    [ -f "$scratch/chosen/Trade/trade.cf" ] || fail "silent run did not install into -D"
    [ -e "$proposal" ] && fail "silent run installed into the proposal"
    ;;

  empty_entry)
    start_x
    default_tree
    start_app
    wait_main
    choose_directory ""
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one box"
    [ "$(box_text)" = "Specify correct path to template directory." ] || fail "box text"
    shot 06-box-empty-target
    answer_box Return
    expect_page directory
    running || fail "installer ended"
    [ -e "$proposal" ] && fail "something was installed"
    key_main Escape
    wait_box
    answer_box alt+y
    expect_exit
    ;;

  cancel_and_escape)
    start_x
    default_tree
    start_app
    wait_main
    key_main Escape
    wait_box
    shot 07-box-cancel-question
    answer_box alt+n
    running || fail "No ended the wizard"
    expect_page welcome
    click_next
    click_cancel
    wait_box
    answer_box Escape # closing the question is not a Yes
    running || fail "closing the question ended the wizard"
    expect_page directory
    click_cancel
    wait_box
    answer_box alt+y
    expect_exit
    [ -e "$cfg0" ] && fail "launcher file written"
    ;;

  cancel_while_copying)
    # Cancel, Escape and the close button while copying ask; No lets the copy
    # go on, Yes stops it, rolls the template directory back byte for byte
    # and shows the cancel text.
    start_x
    slow_tree
    target="$scratch/t"
    mkdir -p "$target/Trade/data"
    echo "my own configuration" >"$target/Trade/trade.cf"
    touch -d '2020-01-01 00:00:00 UTC' "$target/Trade/trade.cf"
    echo "an older part" >"$target/Trade/data/part2.bin"
    touch -d '2020-01-01 00:00:00 UTC' "$target/Trade/data/part2.bin"
    echo "the user's own" >"$target/mine.txt"
    listing() {
      (cd "$target" && find . \( -type d -printf '%p d %m\n' \) -o \
        \( ! -type d -printf '%p %y %s %T@ %m\n' \) | sort && find . -type f -exec md5sum {} + | sort)
    }
    before=$(listing)
    # The copy must outlast the questions below on any machine.
    LD_PRELOAD="$bin/slow_writes.so" VESKP8_SLOW_WRITE_MS=15 \
      ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" start_app
    wait_main
    choose_directory "$target"
    expect_page copying
    # The main thread waits between two looks at the status: it uses little
    # processor time while the worker copies.
    main_ticks() { awk '{print $14 + $15}' "/proc/$app_pid/task/$app_pid/stat"; }
    t0=$(main_ticks)
    sleep 2
    t1=$(main_ticks)
    has_page_image && fail "the copy ended too soon to measure"
    echo "main thread while copying: $((t1 - t0)) ticks of $(getconf CLK_TCK) per second over 2 s"
    [ $((t1 - t0)) -le $(($(getconf CLK_TCK) * 2 / 10)) ] || fail "main thread busy while copying"
    copied() { du -sb "$target" | cut -f1; }
    click_cancel
    wait_box
    [ "$(box_text)" = "Do you really want to cancel installation?" ] || fail "Cancel: not the question"
    answer_box alt+n
    expect_page copying
    size=$(copied)
    sleep 1
    [ "$(copied)" -gt "$size" ] || fail "the copy did not go on after No"
    key_main Escape
    wait_box
    answer_box alt+n
    expect_page copying
    "$bin/ui_probe" close "$main" || fail "could not send the close request"
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one question"
    shot 13-box-cancel-copying
    answer_box alt+y
    for _ in $(seq 600); do has_page_image && break; sleep 0.1; done
    expect_page final
    shot 14-cancelled
    [ "$(listing)" = "$before" ] || fail "template directory not restored: $(diff <(echo "$before") <(listing))"
    [ -e "$cfg0" ] && fail "registered after a cancel"
    ls "$scratch/tmp" | grep -q '^p8stp' && fail "backup directory left behind"
    click_next # Finish
    expect_exit
    ;;

  progress_bytes)
    # A kit with one large file (after the small ones, as the packer orders
    # them): the bar moves while that file is copied (by bytes, not only by
    # entries), and the file's name is shown.
    start_x
    mkdir -p "$scratch/tree/A" "$scratch/tree/B"
    head -c 300000000 /dev/zero >"$scratch/tree/A/large.bin"
    for i in $(seq 20); do echo "$i" >"$scratch/tree/B/small$i.txt"; done
    make_kit "$scratch/tree" --desc en "P" "V" ""
    rm -rf "$scratch/tree"
    LD_PRELOAD="$bin/slow_writes.so" VESKP8_SLOW_WRITE_MS=10 \
      ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" start_app
    wait_main
    choose_directory "$scratch/t"
    expect_page copying
    # Half of the large file written (under its temporary name until it is
    # complete): the bar is past a quarter of its width.
    for _ in $(seq 600); do
      [ "$(find "$scratch/t/A" -type f -printf '%s\n' 2>/dev/null | sort -n | tail -n 1)" -ge 150000000 ] \
        2>/dev/null && break
      sleep 0.05
    done
    [ "$(find "$scratch/t/A" -type f -printf '%s\n' 2>/dev/null | sort -n | tail -n 1)" -lt 300000000 ] ||
      fail "the large file was done before it could be looked at"
    sleep 0.3
    read -r r g b < <(pixel $((10 + 480 / 4)) 160)
    [ "$b" -gt $((r + 20)) ] || fail "the bar stands below a quarter while half the bytes are written ($r $g $b)"
    # The name under the bar: its text is dark on the page's light grey.
    locate
    import -display "$DISPLAY" -window root -crop "480x20+$((wx + 10))+$((wy + 180))" +repage \
      "$scratch/name.png"
    dark=$(convert "$scratch/name.png" -threshold 50% -format "%[fx:round((1-mean)*w*h)]" info:)
    [ "$dark" -gt 50 ] || fail "no file name under the bar"
    shot 03-copying
    for _ in $(seq 600); do has_page_image && break; sleep 0.1; done
    expect_page final
    click_next
    expect_exit
    ;;

  window_close)
    # On the welcome and directory pages the close button asks as Cancel
    # does: No keeps the wizard, Yes ends it. On a final page it closes.
    start_x
    default_tree
    start_app
    wait_main
    click_next
    "$bin/ui_probe" close "$main" || fail "could not send the close request"
    wait_box
    [ "$(box_text)" = "Do you really want to cancel installation?" ] || fail "not the question"
    answer_box alt+n
    running || fail "No ended the wizard"
    expect_page directory
    "$bin/ui_probe" close "$main"
    wait_box
    answer_box alt+y
    expect_exit
    [ -e "$proposal" ] && fail "something was installed"
    start_app
    wait_main
    choose_directory "$scratch/t"
    expect_page final
    "$bin/ui_probe" close "$main"
    expect_exit
    [ -f "$scratch/t/Trade/trade.cf" ] || fail "not installed"
    ;;

  relative_paths)
    # The directory page: the focus is in the entry with its text selected
    # (typing replaces it) and Enter is Next; a relative path asks for a full
    # one and the page stays; "~/" is the home directory.
    start_x
    default_tree
    start_app
    wait_main
    click_next
    expect_page directory
    sleep 0.3
    xdotool type --delay 20 "vorlagen"
    xdotool key --clearmodifiers Return
    wait_box
    [ "$(box_text)" = "Specify the full path of the template directory: it begins with / (or with ~ for your home directory)." ] ||
      fail "not the full-path box"
    shot 15-box-full-path
    answer_box Return
    expect_page directory
    [ "$(entry_text)" = "vorlagen" ] || fail "the entry held '$(entry_text)', typed over the selected proposal"
    [ -e "$app/vorlagen" ] && fail "installed into the current directory"
    set_entry "~/vorlagen"
    key_main Return
    expect_page final
    [ -f "$HOME/vorlagen/Trade/trade.cf" ] || fail "not installed into the home directory"
    [ -e "$app/~" ] && fail "a directory named ~ was made"
    [ "$(cat "$cfg0")" = "ConfigurationTemplatesLocation=$HOME/vorlagen" ] ||
      fail "launcher file: $(cat "$cfg0")"
    click_next
    expect_exit
    ;;

  folder_chooser)
    # The chooser opens titled with the directory label's text, over the
    # wizard (transient for it), at the entry's nearest existing directory.
    start_x
    default_tree
    mkdir -p "$scratch/pick/existing"
    start_app
    wait_main
    click_next
    set_entry "$scratch/pick/existing/not-yet"
    click 475 290 # "..."
    chooser=
    for _ in $(seq 100); do
      chooser=$(xdotool search --onlyvisible --name '^Template directory$' 2>/dev/null | head -1)
      [ -n "$chooser" ] && break
      sleep 0.1
    done
    [ -n "$chooser" ] || fail "no chooser titled 'Template directory'"
    sleep 0.5
    transient=$(xprop -id "$chooser" WM_TRANSIENT_FOR | sed -n 's/.*# //p')
    [ "$((transient))" = "$((main))" ] || fail "chooser transient for '$transient', not the wizard"
    # Select the folder it opened at.
    xdotool windowfocus "$chooser"
    sleep 0.2
    xdotool key --clearmodifiers Return
    sleep 1
    [ "$(entry_text)" = "$scratch/pick/existing" ] || fail "chooser gave '$(entry_text)'"
    key_main Escape
    wait_box
    answer_box alt+y
    expect_exit
    ;;

  kit_language_fallback)
    # A kit with descriptions in en, ru and de, run in French: the welcome
    # text names the English product and vendor, exactly as a kit with a
    # French record of those names shows it.
    start_x
    default_tree
    text_area() {
      locate
      import -display "$DISPLAY" -window root -crop "330x250+$((wx + 170))+$((wy + 10))" +repage "$1"
    }
    welcome_of() { # PNG KIT-ARGS...: the welcome text of a kit made with the arguments
      local png=$1
      shift
      make_kit "$scratch/tree" "$@"
      start_app -Lfr
      wait_wizard
      expect_page welcome
      text_area "$png"
      "$bin/ui_probe" close "$main"
      wait_box "Installation de la configuration"
      answer_box alt+o # "Oui"
      expect_exit
    }
    welcome_of "$scratch/fallback.png" --desc en "Trade Management" "Vesk Software" "" \
      --desc ru "Торговля" "Веск" "" --desc de "Handel" "Vesk DE" ""
    welcome_of "$scratch/french.png" --desc fr "Trade Management" "Vesk Software" ""
    welcome_of "$scratch/unnamed.png" --desc en "" "" ""
    differ=$(compare -metric AE "$scratch/fallback.png" "$scratch/french.png" null: 2>&1)
    [ "$differ" = 0 ] || fail "the fallback differs from the French names in $differ pixels"
    differ=$(compare -metric AE "$scratch/fallback.png" "$scratch/unnamed.png" null: 2>&1)
    [ "$differ" != 0 ] || fail "the fallback shows the placeholders"
    ;;

  failure_reasons)
    # An unwritable template directory (a read-only file system): the box
    # and the error page name the path and the system's reason, and so does
    # -Q's line; a full one is refused before copying with both sizes.
    mount_ro_and_small 1m
    start_x
    default_tree
    start_app
    wait_main
    choose_directory "$scratch/ro/t"
    wait_box
    text=$(box_text)
    [ "$text" = "$(printf 'Installation error\n%s\nThe file system is read-only.' "$scratch/ro/t")" ] ||
      fail "box text: $text"
    shot 10-box-install-error
    answer_box Return
    expect_page final
    shot 05-error
    click_next
    expect_exit
    start_app -Q "-D$scratch/ro/t"
    wait "$app_pid"
    rc=$?
    app_pid=
    [ "$rc" = 6 ] || fail "-Q: status $rc"
    [ "$(cat "$scratch/stderr")" = "Installation error $scratch/ro/t: The file system is read-only." ] ||
      fail "-Q line: $(cat "$scratch/stderr")"
    # No permission: a root-owned directory, the installer run as nobody.
    mkdir -p "$scratch/roots"
    chmod 755 "$scratch" "$scratch/roots"
    chmod 777 "$scratch/home" "$scratch/tmp"
    cp "$bin/veskp8-setup" "$app/veskp8-setup"
    chmod 755 "$app"
    (cd "$app" && exec setpriv --reuid=65534 --regid=65534 --clear-groups ./veskp8-setup -Q \
      "-D$scratch/roots/t" >"$scratch/stdout" 2>"$scratch/stderr")
    rc=$?
    [ "$rc" = 6 ] || fail "-Q as nobody: status $rc ($(cat "$scratch/stderr"))"
    [ "$(cat "$scratch/stderr")" = "Installation error $scratch/roots/t: Permission denied." ] ||
      fail "-Q line as nobody: $(cat "$scratch/stderr")"

    # Too little room: refused at once, the directory page stays.
    head -c 1500000 /dev/urandom >"$scratch/tree/Trade/random.bin"
    make_kit "$scratch/tree" --desc en "P" "V" ""
    start_app
    wait_main
    choose_directory "$scratch/small/t"
    wait_box
    text=$(box_text)
    case $text in
      "Not enough free space for the templates in $scratch/small/t: 14"*"KB needed, 10"*"KB available.") ;;
      *) fail "space box: $text" ;;
    esac
    shot 17-box-no-room
    answer_box Return
    expect_page directory
    [ -z "$(ls -A "$scratch/small")" ] || fail "something was written: $(ls -A "$scratch/small")"
    key_main Escape
    wait_box
    answer_box alt+y
    expect_exit
    start_app -Q "-D$scratch/small/t"
    wait "$app_pid"
    rc=$?
    app_pid=
    [ "$rc" = 6 ] || fail "-Q with too little room: status $rc"
    grep -q "^Not enough free space for the templates in $scratch/small/t: " "$scratch/stderr" ||
      fail "-Q line: $(cat "$scratch/stderr")"
    ;;

  window_type)
    # Under a real window manager (xfwm4, which hides menu windows from the
    # taskbar and Alt-Tab) the wizard is a dialog: listed, minimisable and
    # reached with Alt-Tab from another window.
    command -v xfwm4 >/dev/null && command -v dbus-run-session >/dev/null || skip "no xfwm4"
    start_x
    # xfwm4 needs a session bus for its settings. The cleanup ends xfwm4
    # itself: dbus-run-session then ends and takes its bus daemon with it.
    dbus-run-session -- sh -c 'xfwm4 --compositor=off & echo $! >"$1"; wait' sh "$scratch/xfwm4.pid" \
      >/dev/null 2>&1 &
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
    wm_pid=$(cat "$scratch/xfwm4.pid")
    default_tree
    xmessage -name other other &
    other_pid=$!
    start_app
    wait_main
    sleep 1
    xprop -id "$main" _NET_WM_WINDOW_TYPE | grep -q '_NET_WM_WINDOW_TYPE_DIALOG' ||
      fail "type: $(xprop -id "$main" _NET_WM_WINDOW_TYPE)"
    state=$(xprop -id "$main" _NET_WM_STATE)
    case $state in *SKIP_TASKBAR* | *SKIP_PAGER*) fail "hidden from the taskbar: $state" ;; esac
    for _ in $(seq 30); do
      xprop -id "$main" _NET_WM_ALLOWED_ACTIONS | grep -q _NET_WM_ACTION_MINIMIZE && break
      sleep 0.1
    done
    xprop -id "$main" _NET_WM_ALLOWED_ACTIONS | grep -q _NET_WM_ACTION_MINIMIZE ||
      fail "cannot be minimised: $(xprop -id "$main" _NET_WM_ALLOWED_ACTIONS)"
    # Alt-Tab goes from the other window back to the wizard: it is in the
    # list (a key press can get lost on a loaded machine: a few tries).
    other=$(xdotool search --onlyvisible --classname '^other$' | head -1)
    saw_other= back=
    for _ in 1 2 3 4 5 6; do
      xdotool key alt+Tab
      sleep 0.8
      active=$(xdotool getactivewindow)
      [ "$active" = "$other" ] && saw_other=1
      [ -n "$saw_other" ] && [ "$active" = "$main" ] && { back=1; break; }
    done
    [ -n "$saw_other" ] || fail "Alt-Tab never left the wizard"
    [ -n "$back" ] || fail "Alt-Tab does not reach the wizard from another window"
    kill "$other_pid"
    "$bin/ui_probe" close "$main"
    wait_box
    answer_box alt+y
    expect_exit
    ;;

  silent_scopes)
    start_x
    default_tree
    run_silent() {
      start_app -S
      expect_exit
    }
    # No launcher file: the per-user default, then a new scope 0 file.
    run_silent
    [ -f "$proposal/Trade/trade.cf" ] || fail "none: not installed into the default"
    [ "$(cat "$cfg0")" = "ConfigurationTemplatesLocation=${proposal%/}" ] ||
      fail "none: scope 0 file: $(cat "$cfg0")"
    [ -e "$cfg1" ] && fail "none: scope 1 file written"

    # Scope 0 only, listing a directory: installed there, listed first.
    rm -rf "$scratch/home" && mkdir -p "$scratch/home/.Vesk/vesklaunch"
    printf 'Other=1\r\nConfigurationTemplatesLocation=%s\r\n' "$scratch/s0" >"$cfg0"
    run_silent
    [ -f "$scratch/s0/Trade/trade.cf" ] || fail "scope 0: not installed into the listed directory"
    grep -q "^Other=1" "$cfg0" || fail "scope 0: other key lost"
    [ "$(grep -c "ConfigurationTemplatesLocation=$scratch/s0\$" "$cfg0")" = 1 ] ||
      fail "scope 0: $(cat "$cfg0")"

    # Scope 1 only, with a list: only the scope 1 file is written.
    rm -rf "$scratch/home" && mkdir -p "$scratch/home/.Vesk/vesklauncht"
    printf 'ConfigurationTemplatesLocation=%s\n' "$scratch/s1" >"$cfg1"
    run_silent
    [ -f "$scratch/s1/Trade/trade.cf" ] || fail "scope 1: not installed"
    [ -e "$cfg0" ] && fail "scope 1: scope 0 file written"
    grep -q "ConfigurationTemplatesLocation=$scratch/s1" "$cfg1" || fail "scope 1 file"

    # Scope 1 only, empty list: the default, written to both files.
    rm -rf "$scratch/home" && mkdir -p "$scratch/home/.Vesk/vesklauncht"
    printf 'Other=2\n' >"$cfg1"
    run_silent
    [ -f "$proposal/Trade/trade.cf" ] || fail "scope 1 empty: not installed into the default"
    grep -q "ConfigurationTemplatesLocation=${proposal%/}" "$cfg0" || fail "scope 1 empty: scope 0"
    grep -q "ConfigurationTemplatesLocation=${proposal%/}" "$cfg1" || fail "scope 1 empty: scope 1"
    grep -q "^Other=2" "$cfg1" || fail "scope 1 empty: other key lost"

    # Both files: the list of scope 0, written to both.
    rm -rf "$scratch/home" && mkdir -p "$scratch/home/.Vesk/vesklaunch" "$scratch/home/.Vesk/vesklauncht"
    printf 'ConfigurationTemplatesLocation=%s\n' "$scratch/b0" >"$cfg0"
    printf 'ConfigurationTemplatesLocation=%s\n' "$scratch/b1" >"$cfg1"
    run_silent
    [ -f "$scratch/b0/Trade/trade.cf" ] || fail "both: not installed into the scope 0 directory"
    [ -e "$scratch/b1" ] && fail "both: installed into the scope 1 directory"
    grep -q "ConfigurationTemplatesLocation=$scratch/b0" "$cfg1" || fail "both: scope 1 not written"

    # A remote proposal empties the target: error box, nothing installed.
    rm -rf "$scratch/home" && mkdir -p "$scratch/home/.Vesk/vesklaunch"
    printf 'ConfigurationTemplatesLocation=http://server/templates\n' >"$cfg0"
    cp "$cfg0" "$scratch/cfg0.before"
    start_app -S
    main=
    wait_box
    shot 08-box-no-target
    answer_box Return
    expect_exit
    cmp -s "$cfg0" "$scratch/cfg0.before" || fail "remote: launcher file changed"
    [ -e "$app/Trade" ] && fail "remote: installed into the current directory"
    ;;

  language)
    start_x
    default_tree
    start_app -Lde
    wait_main "Konfiguration wird installiert"
    key_main Escape
    wait_box "Konfiguration wird installiert"
    answer_box Escape
    key_main Escape
    wait_box "Konfiguration wird installiert"
    # GTK's own buttons speak the installer's language, not the environment's
    # (English here): the question's Yes is "_Ja".
    answer_box alt+j
    expect_exit
    LC_ALL=ru_RU.UTF-8 start_app
    wait_main "Установка конфигурации"
    quit_wizard "Установка конфигурации"
    expect_exit
    # An unknown -L code falls through to the locale, then English.
    LC_ALL=de_DE.UTF-8 start_app -Lxx
    wait_main "Konfiguration wird installiert"
    quit_wizard "Konfiguration wird installiert"
    expect_exit
    LC_ALL=C start_app -Lpt
    wait_main "$TITLE_EN"
    quit_wizard
    expect_exit
    ;;

  c_locale)
    # LANG=C, as over SSH or in a cron job: GTK gets UTF-8 all the same. With
    # -Lru and a kit with Cyrillic names the welcome text looks exactly as in
    # a Russian UTF-8 locale.
    start_x
    default_tree
    make_kit "$scratch/tree" --desc ru "Управление торговлей" "Веск Софт" 'Trade\docs\readme.txt'
    text_area() { # the page text's area, as a PNG
      locate
      import -display "$DISPLAY" -window root -crop "330x250+$((wx + 170))+$((wy + 10))" +repage "$1"
    }
    LC_ALL=ru_RU.UTF-8 start_app -Lru
    wait_wizard "Установка конфигурации"
    expect_page welcome
    text_area "$scratch/utf8.png"
    quit_wizard "Установка конфигурации"
    expect_exit
    # The home directory's name holds a byte that no locale decodes here: the
    # proposal shows it as a replacement character, and Next without an edit
    # installs into exactly that directory.
    export HOME="$scratch/h$(printf '\xf6')me"
    mkdir -p "$HOME"
    LANG=C LC_ALL=C start_app -Lru
    wait_wizard "Установка конфигурации"
    expect_page welcome
    text_area "$scratch/c.png"
    differ=$(compare -metric AE "$scratch/c.png" "$scratch/utf8.png" null: 2>&1)
    [ "$differ" = 0 ] || fail "welcome text under LANG=C differs from UTF-8 in $differ pixels"
    dark=$(convert "$scratch/c.png" -threshold 50% -format "%[fx:round((1-mean)*w*h)]" info:)
    [ "$dark" -gt 500 ] || fail "no welcome text to compare ($dark dark pixels)"
    click_next
    expect_page directory
    click_next
    expect_page final
    [ -f "$HOME/.veskp8/Vesk/veskp8/tmplts/Trade/trade.cf" ] || fail "not installed into the proposal"
    click_next
    expect_exit
    ;;

  koi8r_entry)
    # A KOI8-R locale: the directory typed into the entry (UTF-8 in GTK) is
    # created under its KOI8-R name, as every other file name of the locale.
    start_x
    default_tree
    LC_ALL=ru_RU.KOI8-R start_app
    wait_wizard "Установка конфигурации"
    click_next
    expect_page directory
    target="$scratch/шаблоны"
    set_entry "$target"
    [ "$(entry_text)" = "$target" ] || fail "entry shows '$(entry_text)'"
    click_next
    expect_page final
    koi8=$(printf '%s' "$target" | iconv -f UTF-8 -t KOI8-R)
    [ -f "$koi8/Trade/trade.cf" ] || fail "not installed under the KOI8-R name: $(ls "$scratch")"
    [ -e "$target" ] && fail "installed under the UTF-8 name"
    click_next
    expect_exit
    ;;

  localized_pages)
    # The welcome, directory and success pages in German, French and Russian
    # (the screenshots beside the English ones).
    start_x
    default_tree
    for lang in de fr ru; do
      rm -rf "$scratch/home" "$scratch/$lang"
      mkdir -p "$scratch/home"
      make_kit "$scratch/tree" --desc "$lang" "Trade Management" "Vesk Software" 'Trade\docs\readme.txt'
      start_app "-L$lang"
      wait_wizard
      expect_page welcome
      shot "01-welcome-$lang"
      click_next
      expect_page directory
      set_entry "$scratch/$lang"
      shot "02-directory-$lang"
      click_next
      expect_page final
      shot "04-success-$lang"
      [ -f "$scratch/$lang/Trade/trade.cf" ] || fail "$lang: not installed"
      "$bin/ui_probe" close "$main"
      expect_exit
    done
    ;;

  mends_pages)
    # The new and changed pages and boxes in English, German and Russian (the
    # screenshots of the README): a relative path, too little room, an
    # unwritable directory and its error page, the copying page with the
    # file's name, the question while copying and the cancel page, the
    # success page with its counts, and the folder chooser.
    mount_ro_and_small 4m
    descs=(--desc en "Trade Management" "Vesk Software" "" --desc de "Handelsverwaltung" "Vesk Software" ""
      --desc ru "Управление торговлей" "Веск Софт" "")
    default_tree
    mkdir -p "$scratch/tree/Trade/data"
    for i in 1 2 3 4 5 6; do head -c 250000000 /dev/zero >"$scratch/tree/Trade/data/part$i.bin"; done
    make_kit "$scratch/tree" "${descs[@]}"
    mv "$app/veskp8.efd" "$scratch/slow.efd"
    rm -rf "$scratch/tree/Trade/data"
    head -c 1500000 /dev/urandom >"$scratch/tree/Trade/random.bin"
    make_kit "$scratch/tree" "${descs[@]}"
    mv "$app/veskp8.efd" "$scratch/large.efd"
    rm "$scratch/tree/Trade/random.bin"
    make_kit "$scratch/tree" "${descs[@]}"
    mv "$app/veskp8.efd" "$scratch/small.efd"
    start_x
    for lang in en de ru; do
      case $lang in
        en) title=$TITLE_EN suffix= ;;
        de) title="Konfiguration wird installiert" suffix=-de ;;
        ru) title="Установка конфигурации" suffix=-ru ;;
      esac
      rm -rf "$scratch/home" && mkdir -p "$scratch/home"
      chmod 755 "$scratch/home"
      cp "$scratch/large.efd" "$app/veskp8.efd"
      start_app "-L$lang"
      wait_wizard
      click_next
      expect_page directory
      sleep 0.3
      xdotool type --delay 20 "vorlagen"
      shot "02-directory-typed$suffix"
      xdotool key --clearmodifiers Return
      wait_box "$title"
      shot "15-box-full-path$suffix"
      answer_box Return
      set_entry "$scratch/small/t"
      click_next
      wait_box "$title"
      shot "17-box-no-room$suffix"
      answer_box Return
      set_entry "$scratch/ro/templates"
      click_next
      wait_box "$title"
      shot "10-box-install-error$suffix"
      answer_box Return
      expect_page final
      shot "05-error$suffix"
      click_next
      expect_exit

      cp "$scratch/slow.efd" "$app/veskp8.efd"
      LD_PRELOAD="$bin/slow_writes.so" VESKP8_SLOW_WRITE_MS=10 \
        ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" start_app "-L$lang"
      wait_wizard
      choose_directory "$scratch/c$lang"
      expect_page copying
      for _ in $(seq 300); do [ -e "$scratch/c$lang/Trade/data/part2.bin" ] && break; sleep 0.1; done
      shot "03-copying$suffix"
      click_cancel
      wait_box "$title"
      shot "13-box-cancel-copying$suffix"
      click_yes
      for _ in $(seq 600); do has_page_image && break; sleep 0.1; done
      expect_page final
      shot "14-cancelled$suffix"
      [ -e "$scratch/c$lang" ] && fail "$lang: the cancelled copy left $scratch/c$lang"
      click_next
      expect_exit

      # One file replaced, one already up to date, one new.
      cp "$scratch/small.efd" "$app/veskp8.efd"
      target="$scratch/s$lang"
      mkdir -p "$target/Trade/docs"
      echo old >"$target/Trade/trade.cf"
      touch -d '2020-01-01 00:00:00 UTC' "$target/Trade/trade.cf"
      echo readme >"$target/Trade/docs/readme.txt"
      start_app "-L$lang"
      wait_wizard
      click_next
      set_entry "$target"
      click 475 290 # "..."
      chooser=
      for _ in $(seq 100); do
        chooser=$(xdotool search --onlyvisible --classname '^veskp8-setup$' 2>/dev/null | grep -vx "$main" | head -1)
        [ -n "$chooser" ] && break
        sleep 0.1
      done
      [ -n "$chooser" ] || fail "$lang: no chooser"
      sleep 1
      saved=$main main= box=$chooser
      shot "18-chooser$suffix"
      main=$saved box=
      xdotool windowfocus "$chooser"
      xdotool key --clearmodifiers Escape
      sleep 0.5
      click_next
      expect_page final
      shot "04-success$suffix"
      click_next
      expect_exit
    done
    ;;

  interrupted_install)
    # A silent run killed while it copies; the next start, without a kit,
    # first restores the template directory and says so in a box of its own.
    start_x
    slow_tree
    # Before the checks no wizard exists: the first window is the box (which
    # may be as wide as the wizard).
    wait_first_box() {
      for _ in $(seq 200); do
        box=$(windows | head -n 1)
        [ -n "$box" ] && { sleep 0.3; return 0; }
        running || fail "installer ended without a message box"
        sleep 0.1
      done
      fail "no message box"
    }
    target="$scratch/home/.veskp8/Vesk/veskp8/tmplts"
    mkdir -p "$target/Trade"
    echo "my own configuration" >"$target/Trade/trade.cf"
    touch -d '2020-01-01 00:00:00 UTC' "$target/Trade/trade.cf"
    listing() {
      (cd "$target" && find . \( -type d -printf '%p d %m\n' \) -o \
        \( ! -type d -printf '%p %y %s %T@ %m\n' \) | sort && cat Trade/trade.cf)
    }
    before=$(listing)
    start_app -S
    for _ in $(seq 300); do [ -e "$target/Trade/data" ] && break; sleep 0.1; done
    [ -e "$target/Trade/data" ] || fail "the copy did not start"
    kill -KILL "$app_pid"
    wait "$app_pid" 2>/dev/null
    app_pid=
    [ "$(ls "$scratch/home/.veskp8/journal" | wc -l)" = 1 ] || fail "no journal after the kill"
    [ "$(listing)" != "$before" ] || fail "the killed run changed nothing"
    mv "$app/veskp8.efd" "$scratch/slow.efd" # a missing kit must not stop the recovery
    start_app -S
    main=
    wait_first_box
    [ "$(listing)" = "$before" ] || fail "template directory not restored: $(listing)"
    [ "$(width_of "$box")" -le 500 ] || fail "the recovery box is $(width_of "$box") px wide"
    shot 11-box-recovered
    answer_box Return
    wait_box # then the missing kit
    answer_box Return
    expect_exit
    [ -z "$(ls "$scratch/home/.veskp8/journal")" ] || fail "journal left behind"
    ls -a "${TMPDIR:-/tmp}" "$scratch/home/.veskp8" "$target" | grep -qE '^\.?p8stp' &&
      fail "backup directory left behind"
    # Killed again after it replaced a file, which the user then changes
    # before the next start: it stays as the user left it, and the box says so.
    mkdir -p "$target/Trade/data"
    echo "an older part" >"$target/Trade/data/part1.bin"
    touch -d '2020-01-01 00:00:00 UTC' "$target/Trade/data/part1.bin"
    mv "$scratch/slow.efd" "$app/veskp8.efd"
    start_app -S
    for _ in $(seq 300); do [ -e "$target/Trade/data/part2.bin" ] && break; sleep 0.1; done
    kill -KILL "$app_pid"
    wait "$app_pid" 2>/dev/null
    app_pid=
    [ "$(stat -c %s "$target/Trade/data/part1.bin")" = 250000000 ] || fail "part1.bin not replaced"
    echo "changed by the user" >"$target/Trade/data/part1.bin"
    rm "$app/veskp8.efd"
    start_app -S
    main=
    wait_first_box
    [ "$(cat "$target/Trade/data/part1.bin")" = "changed by the user" ] ||
      fail "the user's file was touched"
    [ -e "$target/Trade/data/part2.bin" ] && fail "the kit's part2.bin stayed"
    [ "$(width_of "$box")" -le 500 ] || fail "the box is $(width_of "$box") px wide"
    list=$(ls "$scratch/home/.veskp8/"unrestored-*.txt) || fail "no list of unrestored files"
    [ "$(cat "$list")" = "$target/Trade/data/part1.bin" ] || fail "list: $(cat "$list")"
    shot 12-box-not-restored
    answer_box Return
    wait_box
    answer_box Return
    expect_exit
    ;;

  silent_after_kill)
    # A silent run killed while it copies; the next silent run shows the
    # recovery box and, once it is answered, installs by itself and ends.
    start_x
    slow_tree
    target="$scratch/home/.veskp8/Vesk/veskp8/tmplts"
    start_app -S
    for _ in $(seq 300); do [ -e "$target/Trade/data" ] && break; sleep 0.1; done
    [ -e "$target/Trade/data" ] || fail "the copy did not start"
    kill -KILL "$app_pid"
    wait "$app_pid" 2>/dev/null
    app_pid=
    start_app -S
    main=
    for _ in $(seq 200); do
      box=$(windows | head -n 1)
      [ -n "$box" ] && break
      running || fail "installer ended without a recovery box"
      sleep 0.1
    done
    [ -n "$box" ] || fail "no recovery box"
    sleep 0.3
    answer_box Return
    for _ in $(seq 1200); do running || break; sleep 0.1; done
    if running; then
      # (Hung in GDK's lock, it would not end by SIGTERM either.)
      kill -KILL "$app_pid"
      fail "the silent run after the recovery box did not end within 120 s"
    fi
    expect_exit
    for i in 1 2 3 4 5 6; do
      [ "$(stat -c %s "$target/Trade/data/part$i.bin")" = 250000000 ] || fail "part$i.bin not installed"
    done
    [ "$(cat "$target/Trade/trade.cf")" = configuration ] || fail "trade.cf not installed"
    [ -z "$(ls "$scratch/home/.veskp8/journal")" ] || fail "journal left behind"
    grep -q "$target" "$cfg0" || fail "the directory was not registered"
    ;;

  no_kit)
    start_x
    start_app
    main=
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one window"
    shot 09-box-no-kit
    answer_box Return
    expect_exit
    ;;

  signed_kit)
    # A kit signed by a key that is not trusted (-K names another): one box,
    # nothing installed, nothing left; signed by the trusted key, the silent
    # run installs it.
    start_x
    default_tree
    for k in a b; do
      "$bin/veskp8-kit" keygen -p "$scratch/$k.pub" -s "$scratch/$k.key" >/dev/null || fail "keygen"
    done
    "$bin/veskp8-kit" sign -s "$scratch/b.key" "$app/veskp8.efd" >/dev/null || fail "signing"
    start_app -S "-K$scratch/a.pub"
    main=
    # The box may be as wide as the wizard (500 pixels), which wait_box
    # skips: before the checks end there is no wizard, so any window is it.
    for _ in $(seq 200); do
      box=$(windows | head -1)
      [ -n "$box" ] && break
      running || fail "installer ended without a message box"
      sleep 0.1
    done
    [ -n "$box" ] || fail "no message box"
    sleep 0.3
    [ "$(box_count)" = 1 ] || fail "more than one window"
    shot 13-box-signature-unknown-key
    answer_box Return
    expect_exit
    [ -e "$proposal" ] && fail "installed from a kit signed by an untrusted key"
    [ -z "$(ls "$scratch/tmp")" ] || fail "files left in the temporary directory"
    "$bin/veskp8-kit" sign -s "$scratch/a.key" "$app/veskp8.efd" >/dev/null || fail "signing"
    start_app -S "-K$scratch/a.pub"
    expect_exit
    [ -f "$proposal/Trade/trade.cf" ] || fail "the validly signed kit was not installed"
    ;;

  damaged_kit)
    start_x
    head -c 5000 /dev/urandom >"$app/veskp8.efd"
    start_app
    main=
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one window"
    answer_box Return
    expect_exit
    ls "$scratch/tmp" | grep -q '^edf' && fail "inflated image left behind"
    ;;

  damaged_in_background)
    # Intact tables, then 40 MiB of text whose stream is cut off near its
    # end: the window comes with the tables, the box when the kit's
    # inflation meets the damage; the run then ends as a failed check does.
    command -v python3 >/dev/null || skip "python3 is needed to make the kit"
    start_x
    python3 - "$scratch/tree/large.txt" <<'PY'
import random, sys
rng = random.Random(3)
words = b"ledger invoice payment template catalogue account ".split()
with open(sys.argv[1], "wb") as f:
    for _ in range(40):
        f.write(b" ".join(rng.choice(words) for _ in range(120000))[:1 << 20])
PY
    make_kit "$scratch/tree" --desc en "P" "V" ""
    truncate -s $(($(stat -c %s "$app/veskp8.efd") * 9 / 10)) "$app/veskp8.efd"
    start_app
    wait_main
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one box"
    shot 09-box-damaged-in-background
    answer_box Return
    expect_exit
    ls -A "$scratch/tmp" | grep -q . && fail "files left in the temporary directory: $(ls -A "$scratch/tmp")"
    [ -e "$HOME/.veskp8" ] && fail "something was installed"
    ;;

  no_space)
    mkdir -p "$scratch/small"
    mount -t tmpfs -o size=1m tmpfs "$scratch/small" 2>/dev/null || skip "cannot mount a tmpfs here"
    echo "$scratch/small" >>"$scratch/mounts"
    export TMPDIR="$scratch/small"
    start_x
    head -c 600000 /dev/urandom >"$scratch/tree/random.bin"
    make_kit "$scratch/tree" --desc en "P" "V" ""
    start_app
    main=
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one window"
    answer_box Return
    expect_exit
    [ -z "$(ls "$scratch/small")" ] || fail "files left in the temporary directory"
    ;;

  copy_failure)
    start_x
    mkdir -p "$scratch/tree/a" "$scratch/tree/b"
    echo new >"$scratch/tree/a/x.txt"
    echo new >"$scratch/tree/b/y.txt"
    make_kit "$scratch/tree" --desc en "P" "V" ""
    target="$scratch/target"
    mkdir -p "$target/a"
    echo old >"$target/a/x.txt"
    touch -d '2001-01-01' "$target/a/x.txt"
    echo "not a directory" >"$target/b" # creating b/ fails
    snapshot() { (cd "$target" && find . -type f -printf '%p %s %T@\n' && find . -type d) | sort; cat "$target/a/x.txt" "$target/b"; }
    snapshot >"$scratch/before"
    start_app
    wait_main
    choose_directory "$target"
    wait_box
    shot 10-box-install-error
    answer_box Return
    expect_page final
    shot 05-error
    snapshot >"$scratch/after"
    cmp -s "$scratch/before" "$scratch/after" || fail "template directory changed: $(diff "$scratch/before" "$scratch/after")"
    [ -e "$cfg0" ] && fail "registered after a failure"
    click_next
    expect_exit
    ;;

  no_display)
    # Without a display the wizard cannot show anything: it ends at once with
    # status 1 and one line on standard error that points to -Q, and installs
    # nothing.
    default_tree
    unset DISPLAY
    start_app -S
    for _ in $(seq 300); do running || break; sleep 0.1; done
    running && fail "installer still running"
    wait "$app_pid"
    rc=$?
    app_pid=
    [ "$rc" = 1 ] || fail "exit status $rc, expected 1"
    [ -s "$scratch/stdout" ] && fail "installer wrote to stdout: $(cat "$scratch/stdout")"
    [ "$(wc -l <"$scratch/stderr")" = 1 ] && grep -q -- "-Q" "$scratch/stderr" ||
      fail "expected one line about -Q on stderr"
    [ -e "$proposal" ] && fail "installed without a display"
    ;;

  thread_failure)
    start_x
    default_tree
    export LD_PRELOAD="$bin/fail_worker_thread.so" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
    start_app
    unset LD_PRELOAD
    wait_main
    choose_directory "$scratch/t"
    wait_box
    answer_box Return
    expect_page final
    [ -e "$scratch/t" ] && fail "something was installed"
    [ -e "$cfg0" ] && fail "registered although nothing was installed"
    click_next
    expect_exit
    ;;

  fifo_kit)
    # A FIFO named like the kit: the installer must neither block on it nor
    # open it, and says that there is no kit (the same box as without one).
    start_x
    start_app
    main=
    wait_box
    no_kit_width=$(width_of "$box")
    answer_box Return
    expect_exit
    mkfifo "$app/veskp8.efd"
    # A writer waiting for a reader; it gets through only if the FIFO is opened.
    (exec 3>"$app/veskp8.efd" && echo opened >"$scratch/fifo-opened") &
    writer=$!
    start_app
    main=
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one window"
    [ "$(width_of "$box")" = "$no_kit_width" ] || fail "not the message for a missing kit"
    answer_box Return
    expect_exit
    [ -e "$scratch/fifo-opened" ] && fail "the installer opened the FIFO"
    kill "$writer" 2>/dev/null
    ;;

  out_of_memory)
    # A kit under the table budget, opened under an address-space limit too
    # tight for its tables: the damaged-kit message, a normal end, no image.
    grep -q __asan_init "$bin/veskp8-setup" && skip "a memory limit does not mix with the sanitizers"
    command -v python3 >/dev/null || skip "python3 is needed to make the kit"
    # Address space close to the memory in use: one malloc arena (not one
    # 64 MiB reservation per thread) and small thread stacks.
    export MALLOC_ARENA_MAX=1
    start_limited() {
      cp "$bin/veskp8-setup" "$app/veskp8-setup"
      (cd "$app" && ulimit -s 1024 && ulimit -v "$1" &&
        exec ./veskp8-setup >"$scratch/stdout" 2>"$scratch/stderr") &
      app_pid=$!
    }
    start_x
    # The reference: a damaged kit, its box, and the address space used then.
    head -c 5000 /dev/urandom >"$app/veskp8.efd"
    start_limited unlimited
    main=
    wait_box
    damaged_width=$(width_of "$box")
    base_kb=$(sed -n 's/^VmPeak:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$app_pid/status")
    answer_box Return
    expect_exit
    [ -n "$base_kb" ] || fail "no VmPeak of the reference run"
    # One million entries with 39-unit names: about 200 MiB by the reader's
    # reckoning (below its 256 MiB budget), about 150 MiB in fact.
    python3 - "$app/veskp8.efd" <<'PY' || fail "making the kit failed"
import struct, sys, zlib
n = 1000000
z = zlib.compressobj(6, zlib.DEFLATED, -15)
out = open(sys.argv[1], "wb")
out.write(z.compress(struct.pack("<III", 1, 0, n)))
chunk = []
for i in range(n):
    name = ("dir%03d\\file-with-a-longer-name-%010d" % (i % 1000, i)).encode("utf-16-le")
    chunk.append(struct.pack("<II", 24 + len(name), len(name) // 2) + name + struct.pack("<QII", 0, 0, 0))
    if len(chunk) == 10000:
        out.write(z.compress(b"".join(chunk)))
        chunk = []
out.write(z.compress(b"".join(chunk)))
out.write(z.flush())
PY
    start_limited $((base_kb + 64 * 1024))
    main=
    wait_box
    [ "$(box_count)" = 1 ] || fail "more than one window"
    [ "$(width_of "$box")" = "$damaged_width" ] || fail "not the damaged-kit message"
    answer_box Return
    expect_exit
    ls -A "$scratch/tmp" | grep -q . && fail "files left in the temporary directory: $(ls -A "$scratch/tmp")"
    # With room for its tables the same kit opens: the limit was the cause.
    start_limited $((base_kb + 512 * 1024))
    wait_main
    ;;

  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
echo "PASS [$scenario]"
