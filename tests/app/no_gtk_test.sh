#!/usr/bin/env bash
# Runs the real installer in a chroot that holds only what a server without a
# desktop has: the C and C++ run-time libraries, libgcc_s, libm, zlib and the
# dynamic loader, copied from this machine (plus /proc and the C.UTF-8 locale). --version, --help and
# an unattended installation work there; the wizard and -S say in one line
# that GTK 2 is missing and exit with status 1.
#
# Needs VESKP8_BIN_DIR (veskp8-setup, veskp8-kit) and root (chroot, mount).
# Exit status: 0 pass, 1 fail, 77 skipped.
set -uo pipefail
bin=${VESKP8_BIN_DIR:?}

root=$(mktemp -d /tmp/veskp8-chroot-XXXXXX)
fail() { echo "FAIL: $*" >&2; exit 1; }
cleanup() {
  if mountpoint -q "$root/proc" && ! umount "$root/proc"; then
    echo "left behind: $root (its /proc is still mounted)" >&2
    return
  fi
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

# The executable's libraries, each copied to the same path. Only these five
# (and the sanitizers' own run-time libraries in a sanitizer build).
allowed='^(libc\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|libm\.so\.6|libz\.so\.1|ld-linux-[^/]*\.so\.[0-9]+|linux-vdso\.so\.1|lib(a|ub|t|l)san\.so\.[0-9]+)$'
libraries=$(ldd "$bin/veskp8-setup") || fail "ldd failed"
while read -r first arrow path _; do
  [ "$arrow" = "=>" ] || path=$first
  [[ $(basename "$first") =~ $allowed ]] || fail "veskp8-setup needs $first"
  case $path in /*) mkdir -p "$root$(dirname "$path")" && cp -L "$path" "$root$path" ;; esac
done <<<"$libraries"
# Its stand-ins for GTK's functions stay inside it: exported, they would take
# the place of GTK's own functions when GTK calls them.
exported=$(nm -D --defined-only "$bin/veskp8-setup" | awk '{print $3}' | grep -E '^(gtk_|gdk_|g_|X[A-Z])')
[ -z "$exported" ] || fail "veskp8-setup exports $exported"
interpreter=$(readelf -l "$bin/veskp8-setup" | sed -n 's/.*interpreter: \(.*\)]/\1/p')
mkdir -p "$root$(dirname "$interpreter")" "$root/app" "$root/home/u" "$root/tmp" "$root/proc"
cp -L "$interpreter" "$root$interpreter"
cp "$bin/veskp8-setup" "$root/app/"
# The C library's own UTF-8 locale (Debian's libc-bin), for the German line.
[ -d /usr/lib/locale/C.utf8 ] && mkdir -p "$root/usr/lib/locale" &&
  cp -r /usr/lib/locale/C.utf8 "$root/usr/lib/locale/"
mount -t proc proc "$root/proc" 2>/dev/null || { echo "SKIP: cannot mount /proc"; exit 77; }

tree=$root/../$(basename "$root")-tree
mkdir -p "$tree/Trade/docs"
echo "configuration" >"$tree/Trade/trade.cf"
echo "readme" >"$tree/Trade/docs/readme.txt"
"$bin/veskp8-kit" create -o "$root/app/veskp8.efd" "$tree" --desc en P V "" >/dev/null ||
  fail "packing the kit failed"
rm -rf "$tree"

# run ARGS...: the installer in the chroot with only HOME and TMPDIR set (and
# whatever "env" settings come first); sets status, out, err.
chroot=$(command -v chroot) || { echo "SKIP: no chroot"; exit 77; }
run() {
  env -i HOME=/home/u TMPDIR=/tmp "${settings[@]}" "$chroot" "$root" /app/veskp8-setup "$@" \
    >"$root.out" 2>"$root.err"
  status=$?
  out=$(cat "$root.out") err=$(cat "$root.err")
  rm -f "$root.out" "$root.err"
  [ "$status" != 125 ] && [ "$status" != 126 ] || { echo "SKIP: chroot failed: $err"; exit 77; }
}
settings=()

run --version
[ "$status" = 0 ] && [[ $out == "veskp8-setup "[0-9]* ]] && [ -z "$err" ] ||
  fail "--version: status $status, out '$out', err '$err'"
run --help
[ "$status" = 0 ] && [[ $out == "Usage: veskp8-setup "* ]] && [ -z "$err" ] ||
  fail "--help: status $status, err '$err'"

run -Q -D/srv/t
[ "$status" = 0 ] && [ -z "$err" ] || fail "-Q: status $status, err '$err'"
summary=$(tail -n 1 <<<"$out")
for part in new=2 replaced=0 registered=yes; do
  [[ " $summary " == *" $part "* ]] || fail "-Q summary '$summary' lacks $part"
done
[ "$(cat "$root/srv/t/Trade/trade.cf")" = configuration ] || fail "trade.cf not installed"
[ "$(cat "$root/srv/t/Trade/docs/readme.txt")" = readme ] || fail "readme.txt not installed"
grep -qx 'ConfigurationTemplatesLocation=/srv/t' "$root/home/u/.Vesk/vesklaunch/vesklaunch.cfg" ||
  fail "not registered: $(cat "$root/home/u/.Vesk/vesklaunch/vesklaunch.cfg")"

# Again, with the user's older trade.cf: replaced by way of the backup.
echo "older" >"$root/srv/t/Trade/trade.cf"
touch -d '2001-01-01' "$root/srv/t/Trade/trade.cf"
run -Q -D/srv/t
summary=$(tail -n 1 <<<"$out")
[ "$status" = 0 ] && [[ " $summary " == *" new=0 replaced=1 unchanged=1 "* ]] ||
  fail "-Q again: status $status, summary '$summary', err '$err'"
[ "$(cat "$root/srv/t/Trade/trade.cf")" = configuration ] || fail "trade.cf not replaced"
[ -z "$(ls -A "$root/tmp")" ] || fail "left in the temporary directory: $(ls -A "$root/tmp")"

# The wizard needs GTK: one line, status 1, nothing installed (a display is
# named, and a wizard that reached for it would say something else).
english="The installer's window needs the GTK 2 libraries, which are not installed on this\
 machine. With the -Q option the installer runs without them."
german="Das Fenster des Installationsprogramms benötigt die GTK-2-Bibliotheken, die auf diesem\
 Rechner nicht installiert sind. Mit der Option -Q arbeitet das Installationsprogramm ohne sie."
settings=(DISPLAY=:0 LC_ALL=C.UTF-8)
for arguments in "" "-S" "usecwd -S -D/srv/w" "-Lde" "-S -Lde"; do
  # shellcheck disable=SC2086
  run $arguments
  expected=$english
  [[ $arguments == *-Lde* ]] && expected=$german
  [ "$status" = 1 ] && [ -z "$out" ] && [ "$err" = "$expected" ] ||
    fail "'$arguments' without GTK: status $status, out '$out', err '$err'"
done
[ -e "$root/srv/w" ] && fail "the wizard without GTK installed something"
echo "PASS"
