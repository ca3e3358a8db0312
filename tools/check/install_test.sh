#!/bin/bash
# Installs the build with cmake --install into a fresh folder (a blank and
# Japanese in its path) and runs a backup from there as a scheduler would:
# empty environment, another working folder, the real archiver libraries
# found beside the installed runner. Each archive is read back with bsdtar
# and compared with the folder it holds. Also runs the installed crontab
# line, checks slotbackup-check from there, and that a second install keeps
# the settings file.
# Usage: install_test.sh BUILD_FOLDER
set -euo pipefail
build=$1
if ! command -v bsdtar >/dev/null; then
  echo "bsdtar is not installed (Debian package libarchive-tools): cannot read the archives"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix="$work/slot backup 仕事"
fail() {
  echo "FAIL: $*"
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in slotbackup slotbackup-check libUnlha32.so lib7-zip32.so slotbackup.ini \
  examples/cron/slotbackup.crontab examples/systemd/user/slotbackup.timer; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done

# The installed examples name the folder they were installed into, in their
# comments as well, and no other.
for example in systemd/system/slotbackup.service systemd/user/slotbackup.service \
  cron/slotbackup.crontab; do
  file="$prefix/examples/$example"
  ! grep -nE '/opt/slotbackup|~/slotbackup|%h/slotbackup|\$HOME/slotbackup' "$file" ||
    fail "$example still names the folder it was not installed into"
done
grep -qF "# Install the program into $prefix (as root):" \
  "$prefix/examples/systemd/system/slotbackup.service" ||
  fail "the system unit's comment does not name $prefix"
grep -qF "# Install the program into $prefix:" "$prefix/examples/systemd/user/slotbackup.service" ||
  fail "the user unit's comment does not name $prefix"
grep -qF -- "--prefix '$prefix'" "$prefix/examples/cron/slotbackup.crontab" ||
  fail "the crontab's comment does not name $prefix"

# As installed, the settings file is valid and asks for nothing.
"$prefix/slotbackup-check" >/dev/null || fail "the installed example does not check clean"
(cd / && env -i "$prefix/slotbackup") || fail "a run on the installed example exits with $?"
[ ! -e "$prefix/slotbackup.log" ] || fail "a run on the installed example logged an error"

mkdir -p "$work/data/報告書/データ" "$work/data/empty" "$work/backups"
printf '本四半期の報告\n' >"$work/data/報告書/報告.txt"
head -c 300000 /dev/urandom >"$work/data/報告書/データ/random.bin"
seq 1 20000 >"$work/data/報告書/データ/numbers.txt"

settings() {  # $1 = archive type, $2 = extension
  cat >"$prefix/slotbackup.ini" <<INI
[BackUP_Save]
SavePath=$work/backups
ArchiveType=$1
[BackUP_Target]
0000=$work/data/報告書
0001=$work/data/empty
[BackUP_Name]
0000=報告書_%D.$2
0001=empty_%D.$2
[BackUP_ConstantName]
0000=報告書_latest.$2
INI
}

for type in ZIP LHA; do
  extension=$([ $type = LHA ] && echo lzh || echo zip)
  settings $type $extension
  "$prefix/slotbackup-check" >/dev/null || fail "slotbackup-check finds fault with the $type settings"
  status=0
  (cd / && env -i "$prefix/slotbackup") || status=$?
  [ $status = 0 ] || fail "the $type run exits with $status: $(cat "$prefix/slotbackup.log" 2>&1)"

  latest="$work/backups/報告書_latest.$extension"
  [ -f "$latest" ] || fail "no fixed-name copy $latest"
  archives=("$work/backups"/報告書_[0-9]*.$extension)
  [ ${#archives[@]} = 1 ] || fail "expected one $type archive of slot 0000, found ${#archives[@]}"
  cmp -s "${archives[0]}" "$latest" || fail "the fixed-name copy differs from ${archives[0]}"
  out="$work/out-$type"
  mkdir -p "$out"
  bsdtar -xf "$latest" -C "$out" || fail "bsdtar cannot read $latest"
  diff -r "$work/data/報告書" "$out/報告書" || fail "the $type archive does not hold the folder"
  [ -f "$work/backups"/empty_[0-9]*.$extension ] || fail "no $type archive of the empty folder"
done

# The installed crontab line, run as cron runs it: by sh, in the home
# folder, with cron's "\%" turned back into "%".
line=$(grep -v '^#' "$prefix/examples/cron/slotbackup.crontab")
command=$(cut -d' ' -f6- <<<"$line" | sed 's/\\%/%/g')
(cd "$work" && env -i HOME="$work" sh -c "$command" >/dev/null) ||
  fail "the installed crontab command exits with $?: $command"

# The checker's exit statuses from the installed tree.
status=0
"$prefix/slotbackup-check" --json | grep -q '"exitStatus":0' || fail "--json does not report 0"
printf '[BackUP_Target]\n7=%s\n' "$work/data/empty" >>"$prefix/slotbackup.ini"
"$prefix/slotbackup-check" >/dev/null || status=$?
[ $status = 1 ] || fail "a key the run never reads gives exit status $status, not 1"
status=0
"$prefix/slotbackup-check" "$work/none.ini" 2>/dev/null || status=$?
[ $status = 2 ] || fail "a missing settings file gives exit status $status, not 2"
"$prefix/slotbackup-check" --version | grep -q '^slotbackup-check [0-9]' || fail "--version"

# Installing again keeps the user's settings.
before=$(cat "$prefix/slotbackup.ini")
cmake --install "$build" --prefix "$prefix" >/dev/null
[ "$(cat "$prefix/slotbackup.ini")" = "$before" ] || fail "a second install replaced slotbackup.ini"
echo "ok: installed into $prefix, ran ZIP and LHA backups from there"
