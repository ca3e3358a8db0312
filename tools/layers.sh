#!/bin/bash
# The source tree's layers: prints which top-level folder includes which
# (with the number of #include lines), and fails when an include goes where
# the layers forbid, or when the folders include each other in a loop.
#
#   tools/layers.sh [build-folder]
#
# From the floor up:
#   platform/            what Windows provides and POSIX lacks; its posix/
#                        and win32/ never include each other
#   archlib/             what the archiver libraries share
#   lha/ sevenzip/       the archiver libraries
#   settings/ archiver/  the settings file object; the calls into the libraries
#   run/                 the backup run
#   tools/               slotbackup-check and scripts
#   testing/             test support: included by test code only
#   bench/ fuzz/         may include anything
# Test code (*_test.cpp and the end-to-end fixtures) may include testing/ too.
#
# With a build folder, it also checks with nm that what is installed
# (slotbackup, slotbackup-check and the archiver libraries in bin/) holds
# none of the file layer's fault-injection seam nor the worker pool's thread
# injection, which only test and benchmark programs link.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each folder may include besides itself.
declare -A allowed=(
  [platform]=""
  [archlib]="platform"
  [lha]="archlib platform"
  [sevenzip]="archlib platform"
  [settings]="platform"
  [archiver]="platform"
  [run]="settings archiver platform"
  [tools]="run settings archiver archlib platform"
  [testing]="archlib platform"
  [bench]="*"
  [fuzz]="*"
)

failures=0
fail() {
  echo "layers: $*" >&2
  failures=$((failures + 1))
}

is_test() {
  case "$1" in
    *_test.cpp | *_fixture.cpp | *_fixture.h | testing/*) return 0 ;;
  esac
  return 1
}

# "from to file" for each #include "folder/..." between top-level folders
# (and between platform/posix and platform/win32).
known=" ${!allowed[*]} "
edges=$(git ls-files '*.cpp' '*.h' '*.c' | grep / | xargs awk -v known="$known" '
  /^[ \t]*#[ \t]*include[ \t]*"/ {
    split($0, quoted, "\"")
    included = quoted[2]
    from = FILENAME; sub(/\/.*/, "", from)
    to = included; if (sub(/\/.*/, "", to) == 0) next
    if (FILENAME ~ /^platform\/posix\// && included ~ /^platform\/win32\//) print "platform/posix platform/win32 " FILENAME
    if (FILENAME ~ /^platform\/win32\// && included ~ /^platform\/posix\//) print "platform/win32 platform/posix " FILENAME
    if (to != from && index(known, " " to " ") > 0) print from " " to " " FILENAME
  }')

# Test code stands above every layer: its includes are held to the rules
# but make no loop.
production=$(while read -r from to file; do
  [ -n "$from" ] && ! is_test "$file" && echo "$from $to $file"
done <<<"$edges" || true)
count() { sort <<<"$1" | awk 'NF { print $1 " -> " $2 }' | uniq -c |
  awk '{ printf "  %-10s -> %-14s %4d\n", $2, $4, $1 }'; }
echo "folder -> folder (#include lines), production code"
count "$production"
echo "folder -> folder (#include lines), test code"
count "$(while read -r from to file; do
  [ -n "$from" ] && is_test "$file" && echo "$from $to $file"
done <<<"$edges" || true)"

while read -r from to file; do
  [ -n "$from" ] || continue
  case "$from:$to" in
    platform/posix:platform/win32 | platform/win32:platform/posix)
      fail "$file: platform/posix and platform/win32 never include each other"
      continue
      ;;
  esac
  if [ "$to" = testing ]; then
    is_test "$file" || fail "$file: only test code includes testing/"
    continue
  fi
  rule=${allowed[$from]-}
  [ "$rule" = "*" ] && continue
  [[ " $rule " == *" $to "* ]] || fail "$file includes $to/, which $from/ may not include"
done <<<"$edges"

# A loop between folders: any folder that reaches itself over the edges of
# production code.
declare -A next=()
while read -r from to _; do
  [ -n "$from" ] || continue
  [ "$from" = "${from%/*}" ] || continue  # platform/posix and platform/win32
  next[$from]+=" $to"
done <<<"$production"
for start in "${!next[@]}"; do
  declare -A seen=()
  queue=(${next[$start]})
  while [ ${#queue[@]} -gt 0 ]; do
    folder=${queue[0]}
    queue=("${queue[@]:1}")
    [ -z "${seen[$folder]+yes}" ] || continue
    seen[$folder]=yes
    if [ "$folder" = "$start" ]; then
      fail "$start/ reaches itself through the includes"
      break
    fi
    queue+=(${next[$folder]-})
  done
  unset seen
done

if [ $# -gt 0 ]; then
  bin=$1/bin
  for installed in slotbackup slotbackup-check libUnlha32.so lib7-zip32.so; do
    [ -e "$bin/$installed" ] || { fail "$bin/$installed is not built"; continue; }
    seam=$(nm -C "$bin/$installed" | grep -c 'FaultInject' || true)
    threads=$(nm -C "$bin/$installed" | grep -c 'ThreadInject' || true)
    echo "  $installed: $seam symbols of the fault-injection seam, $threads of the thread injection"
    [ "$seam" = 0 ] || fail "$bin/$installed holds the fault-injection seam"
    [ "$threads" = 0 ] || fail "$bin/$installed holds the thread injection"
  done
fi

if [ $failures -gt 0 ]; then
  echo "layers: $failures failures" >&2
  exit 1
fi
echo "layers: no loop, no forbidden include"
