#!/bin/bash
# The systemd units as installed (their ExecStart naming the installed
# runner), user and system variants, checked by systemd-analyze verify: any
# message at all fails the test. Skipped (77) where systemd-analyze is missing.
# Usage: units_test.sh BUILD_FOLDER
set -euo pipefail
build=$1
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed (Debian package systemd): units not checked"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-units.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix="$work/slot backup"
cmake --install "$build" --prefix "$prefix" >/dev/null

failed=0
verify() {  # $1 = user or system, then systemd-analyze's own arguments
  local variant=$1
  shift
  local output
  if ! output=$(cd "$prefix/examples/systemd/$variant" &&
    systemd-analyze "$@" verify ./slotbackup.service ./slotbackup.timer 2>&1) ||
    [ -n "$output" ]; then
    echo "FAIL: $variant units:"
    echo "$output"
    failed=1
  else
    echo "ok: $variant units"
  fi
}

verify system
# A user manager needs a runtime folder of its own.
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" verify user --user

# The installed units name the installed runner.
grep -qF "ExecStart=\"$prefix/slotbackup\"" "$prefix/examples/systemd/system/slotbackup.service" ||
  { echo "FAIL: the system unit does not start $prefix/slotbackup"; failed=1; }
grep -qF "ExecStart=\"$prefix/slotbackup\"" "$prefix/examples/systemd/user/slotbackup.service" ||
  { echo "FAIL: the user unit does not start $prefix/slotbackup"; failed=1; }
exit $failed
