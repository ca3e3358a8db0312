#!/bin/bash
# slotbackup.exe under 64-bit Wine with our own Unlha32.dll beside it, on a
# target whose names hold 表, ソ and 能 (second byte '\' in code page 932)
# and ポ (second byte '|'), and a name code page 932 lacks; its settings file
# in code page 932, with a fixed-name copy. The same tree is also packed
# with lh7 through the DLL's entry point. Each archive is then read back on
# this host by lhasa, bsdtar and unar (when installed) and compared with the
# tree byte for byte and name for name: a reader that gives a name's bytes
# as stored gives code page 932, which is mapped to UTF-8 first.
# The program and its DLL come from the installed package folder, as a user
# unpacks it; call_archiver.exe, a test tool, from the build.
# Usage: lha_read_back_test.sh BIN_FOLDER PACKAGE_FOLDER WINE_COMMAND...
set -euo pipefail
bin=$1
package=$2
shift 2
wine=("$@")

work=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-lha.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
# A host path as Wine shows it: the root folder is drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# The tree: text that compresses, noise that is stored, an empty file, an
# empty folder, and the names that are hard for code page 932.
data="$work/data"
target="$data/表ソ能ポ"
mkdir -p "$target/ソ能" "$target/空のフォルダ" "$work/program" "$work/save"
for i in $(seq 1 4000); do echo "line $i of the quarterly report 報告書"; done >"$target/報告書.txt"
head -c 150000 /dev/urandom >"$target/ソ能/表.bin"
: >"$target/ポート.txt"
echo "a name code page 932 lacks" >"$target/한국어.txt"
cp "$target/報告書.txt" "$target/ソ能/能.txt"

for file in slotbackup.exe slotbackup-check.exe Unlha32.dll slotbackup.ini slotbackup-task.xml \
  README.txt; do
  [ -f "$package/$file" ] || fail "the package lacks $file"
done
# The sample settings file is code page 932 text with Windows line ends.
iconv -f CP932 -t UTF-8 "$package/slotbackup.ini" | grep -q $'^\[BackUP_Save\]\r$' ||
  fail "the package's slotbackup.ini is not code page 932 with CRLF line ends"
cp "$package/slotbackup.exe" "$package/Unlha32.dll" "$work/program/"
printf '%s\r\n' "[BackUP_Save]" "SavePath=$(windows_path "$work/save")" "ArchiveType=LHA" \
  "[BackUP_Target]" "0000=$(windows_path "$target")" "[BackUP_Name]" "0000=表ソ能ポ.lzh" \
  "[BackUP_ConstantName]" "0000=最新.lzh" | iconv -f UTF-8 -t CP932 >"$work/program/slotbackup.ini"

status=0
(cd "$work" && "${wine[@]}" "$work/program/slotbackup.exe") || status=$?
[ $status = 0 ] || {
  iconv -f CP932 -t UTF-8 "$work/program/slotbackup.log" 2>/dev/null || true
  fail "slotbackup.exe exited $status"
}
lh5="$work/save/表ソ能ポ.lzh"
[ -f "$lh5" ] || fail "no archive: $(ls "$work/save")"
cmp -s "$lh5" "$work/save/最新.lzh" || fail "the fixed-name copy differs from the archive"

lh7="$work/save/lh7.lzh"
command=$(printf 'a -r2 -x1 -o7 "%s" "%s"' "$(windows_path "$lh7")" "$(windows_path "$target")")
"${wine[@]}" "$bin/call_archiver.exe" Unlha32 Unlha "$command" >/dev/null ||
  fail "Unlha32.dll failed on: $command"

# An archive saved inside its own target, written and then updated, never
# holds itself nor its temporary file: the Win32 walk knows them by volume
# serial number and file index.
inside="$work/inside"
mkdir -p "$inside"
echo "a file beside its archive" >"$inside/file.txt"
command=$(printf 'a -r2 -x1 "%s" "%s"' "$(windows_path "$inside/self.lzh")" "$(windows_path "$inside")")
for _ in 1 2; do
  "${wine[@]}" "$bin/call_archiver.exe" Unlha32 Unlha "$command" >/dev/null ||
    fail "Unlha32.dll failed on: $command"
done
members=$(bsdtar -tf "$inside/self.lzh" | LC_ALL=C sort | tr '\n' ' ')
[ "$members" = "inside/ inside/file.txt " ] || fail "an archive inside its target holds: $members"

# Every file and folder below a tree, '/'-separated and sorted, each name
# in UTF-8 (names that are not UTF-8 mapped from code page 932). A member
# whose name code page 932 lacks is stored with its whole path in UTF-8: a
# reader that ignores the code page the header declares puts it in a
# second folder whose name maps to the first, so folders count once.
listing() {
  (cd "$1" && find . -mindepth 1 -printf '%y %P\n') | while IFS= read -r line; do
    if iconv -f UTF-8 -t UTF-8 <<<"$line" >/dev/null 2>&1; then
      echo "$line"
    else
      iconv -f CP932 -t UTF-8 <<<"$line"
    fi
  done | LC_ALL=C sort -u
}
# The raw path of a mapped name inside a tree.
raw_path() {
  (cd "$1" && find . -mindepth 1 -printf '%P\n') | while IFS= read -r raw; do
    mapped=$raw
    iconv -f UTF-8 -t UTF-8 <<<"$raw" >/dev/null 2>&1 || mapped=$(iconv -f CP932 -t UTF-8 <<<"$raw")
    if [ "$mapped" = "$2" ]; then
      echo "$1/$raw"
      return
    fi
  done
}

all=$(listing "$data")
check() {  # reader archive out
  local reader=$1 archive=$2 out=$3 seen expected=$all
  seen=$(listing "$out")
  if [ "$reader" = unar ]; then
    # unar ignores the code page a header declares: told code page 932, it
    # restores every name of it, and keeps the member stored in UTF-8 under
    # its bytes escaped ("%ed%95%9c..."), in a folder of its own.
    expected=$(grep -v 한국어 <<<"$all")
    seen=$(grep -v % <<<"$seen")
  fi
  [ "$seen" = "$expected" ] || {
    diff <(echo "$expected") <(echo "$seen") || true
    fail "$reader restores other names from $(basename "$archive")"
  }
  while read -r kind name; do
    [ "$kind" = f ] || continue
    cmp -s "$data/$name" "$(raw_path "$out" "$name")" ||
      fail "$reader restores $name from $(basename "$archive") with other bytes"
  done <<<"$expected"
  echo "$reader restores $(basename "$archive") name for name and byte for byte"
}

readers=(lhasa bsdtar)
command -v unar >/dev/null && readers+=(unar)
for archive in "$lh5" "$lh7"; do
  for reader in "${readers[@]}"; do
    command -v "$reader" >/dev/null || fail "$reader is not installed"
    out="$work/out-$reader-$(basename "$archive" .lzh)"
    mkdir -p "$out"
    case $reader in
      lhasa) (cd "$out" && lhasa xq "$archive" >/dev/null) ;;
      bsdtar) LC_ALL=C.UTF-8 bsdtar -xf "$archive" -C "$out" ;;
      unar) unar -q -f -D -e cp932 -o "$out" "$archive" >/dev/null ;;
    esac
    check "$reader" "$archive" "$out"
  done
done
