#!/usr/bin/env bash
# The Ansible role examples/ansible/roles/veskp8_templates, run by
# ansible-playbook against localhost (local connection, a scratch home):
#   1. the first run installs and reports changed, the second reports ok;
#   2. check mode after a kit update reports changed and leaves the template
#      directory, the staged kit and the home as they were; with the installed
#      kit it reports ok;
#   3. a damaged kit fails the play with the installer's own line.
# Then the summary line of a target holding spaces, quotes and "=" is split
# with Python's shlex into key=value words.
# Usage: ansible_role_test.sh BIN_DIR SOURCE_DIR. Exit 77: no ansible-playbook.
set -euo pipefail
bin=$1
source=$2
command -v ansible-playbook >/dev/null || { echo "skipped: ansible-playbook is missing"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/tmp" "$scratch/tree/sub" "$scratch/kits" "$scratch/controller"
export TMPDIR=$scratch/tmp
target=$scratch/templates

fail() { echo "FAIL: $*"; exit 1; }

pack() {  # pack KIT: the tree into $scratch/kits/KIT
  "$bin/veskp8-kit" create -o "$scratch/kits/$1" "$scratch/tree" --desc en P V "" >/dev/null
}

cat >"$scratch/play.yml" <<'EOF'
- hosts: localhost
  connection: local
  gather_facts: false
  roles:
    - role: veskp8_templates
      vars:
        veskp8_setup_src: "{{ setup }}"
        veskp8_kit_src: "{{ kit }}"
        veskp8_target: "{{ target }}"
        veskp8_home: "{{ scratch }}/home"
        veskp8_stage_dir: "{{ scratch }}/stage"
EOF

# play KIT [ARGS...]: runs the playbook with that kit; sets status, recap, log.
play() {
  local kit=$1
  shift
  set +e
  log=$(HOME=$scratch/controller ANSIBLE_ROLES_PATH=$source/examples/ansible/roles \
    ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_LOCALHOST_WARNING=0 \
    ANSIBLE_INVENTORY_UNPARSED_WARNING=0 ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 \
    ansible-playbook -i localhost, "$scratch/play.yml" -e "setup=$bin/veskp8-setup" \
    -e "kit=$scratch/kits/$kit" -e "target=$target" -e "scratch=$scratch" "$@" 2>&1)
  status=$?
  set -e
  recap=$(grep -E '^localhost +:' <<<"$log" || true)
}

# The template directory, the staged files and the home, as text.
state() {
  find "$target" "$scratch/stage" "$scratch/home" -printf '%p %y %s %T@ %i\n' | sort
  find "$target" "$scratch/stage" "$scratch/home" -type f -exec md5sum {} + | sort
}

printf 'alpha\n' >"$scratch/tree/a.txt"
printf 'bravo\n' >"$scratch/tree/sub/b.txt"
touch -d '2026-01-01 00:00:01.5' "$scratch/tree/a.txt" "$scratch/tree/sub/b.txt"
pack v1.efd

play v1.efd
[ "$status" -eq 0 ] || fail "first run: status $status"$'\n'"$log"
grep -q 'changed=[1-9]' <<<"$recap" || fail "first run not changed: $recap"
[ "$(cat "$target/sub/b.txt")" = bravo ] || fail "first run did not install"

play v1.efd
[ "$status" -eq 0 ] || fail "second run: status $status"$'\n'"$log"
grep -q 'changed=0 ' <<<"$recap" || fail "second run changed: $recap"$'\n'"$log"

play v1.efd --check
[ "$status" -eq 0 ] || fail "check mode, same kit: status $status"$'\n'"$log"
grep -q 'changed=0 ' <<<"$recap" || fail "check mode predicts a change of the same kit: $recap"

printf 'alpha, updated\n' >"$scratch/tree/a.txt"
touch -d '2026-02-01 00:00:00.25' "$scratch/tree/a.txt"
pack v2.efd
before=$(state)
play v2.efd --check; [ -z "${VESKP8_SHOW_LOG:-}" ] || echo "$log"
[ "$status" -eq 0 ] || fail "check mode: status $status"$'\n'"$log"
grep -q 'changed=1 ' <<<"$recap" || fail "check mode after an update: $recap"$'\n'"$log"
[ "$(state)" = "$before" ] || fail "check mode changed the host"
[ -z "$(ls -A "$TMPDIR")" ] || fail "check mode left $(ls -A "$TMPDIR") in the temporary directory"

play v2.efd
[ "$status" -eq 0 ] && grep -q 'changed=[1-9]' <<<"$recap" || fail "update: $recap"$'\n'"$log"
[ "$(cat "$target/a.txt")" = "alpha, updated" ] || fail "update not installed"

printf 'not a kit at all' >"$scratch/kits/damaged.efd"
play damaged.efd
[ "$status" -ne 0 ] || fail "a damaged kit did not fail the play"
grep -q 'failed=1' <<<"$recap" || fail "damaged kit: $recap"
grep -q 'veskp8-setup exited with status 3: Distribution kit file veskp8.efd corrupted' <<<"$log" ||
  fail "the installer's line is not in the failure"$'\n'"$log"

# The summary line, split as Salt's stateful reads it.
spaced="$scratch/it's a \"test\" a=b"
mkdir -p "$scratch/kit"
cp "$scratch/kits/v2.efd" "$scratch/kit/veskp8.efd"
line=$(cd "$scratch/kit" && HOME=$scratch/home "$bin/veskp8-setup" usecwd -Q "-D$spaced" | tail -n 1)
python3 - "$line" "$spaced" <<'EOF' || fail "shlex: $line"
import shlex, sys
words = dict(word.split("=", 1) for word in shlex.split(sys.argv[1]))
assert words == {"new": "2", "replaced": "0", "unchanged": "0", "registered": "yes",
                 "changed": "yes", "signed": "no", "target": sys.argv[2]}, words
EOF
[ -z "${VESKP8_SHOW_LOG:-}" ] || echo "$log"
echo "ansible role and summary line: all passed"
