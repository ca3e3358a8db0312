#!/usr/bin/env bash
# Builds slotbackup for Windows with MinGW-w64, both targets (i686, the one
# users install beside the 32-bit archiver DLLs, and x86_64), and runs the
# x86_64 tests under Wine. The i686 program and DLLs are built only: 32-bit
# Windows programs cannot run where Wine has no 32-bit support.
#
#   tools/windows/test-windows.sh [build-folder]     (default: build-windows)
#
# Installs the cross compilers and Wine when they are missing. Exits non-zero
# when a build or a test fails; the test results are also written as JUnit
# to <build-folder>/x86_64/tests.xml.
set -euo pipefail

started=$(date +%s)
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_root=$(realpath -m "${1:-build-windows}")
jobs=${JOBS:-2}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

say() { printf '== %s (%d s)\n' "$*" $(($(date +%s) - started)); }

"$source_dir/tools/install-deps.sh" windows

# The tests run in a Japanese locale, as the program's users do (ANSI code
# page 932). Wine needs the locale installed to name files in it.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  say "generating the ja_JP.UTF-8 locale"
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

mkdir -p "$build_root"
for arch in i686 x86_64; do
  say "building for Windows $arch"
  # Only the x86_64 tests can run here, so only they are built.
  tests=$([ "$arch" = x86_64 ] && echo ON || echo OFF)
  cmake -S "$source_dir" -B "$build_root/$arch" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DSLOTBACKUP_TESTS="$tests" >"$build_root/cmake-$arch.log" 2>&1 ||
    { cat "$build_root/cmake-$arch.log"; exit 1; }
  cmake --build "$build_root/$arch" -j"$jobs"
done

# The archiver DLLs users install export plain names ("Unlha"); a stdcall
# export linked without --kill-at would be "Unlha@16" and never be found.
say "checking the entry point names the i686 DLLs export"
for dll in "$build_root"/i686/bin/*.dll; do
  exports=$(i686-w64-mingw32-objdump -p "$dll" | sed -n '/Ordinal\/Name Pointer/,/^$/p')
  if grep -qE '@[0-9]+$' <<<"$exports"; then
    echo "$dll exports decorated names:"
    echo "$exports"
    exit 1
  fi
done
exports=$(i686-w64-mingw32-objdump -p "$build_root/i686/bin/fake_archiver.dll")
grep -qE '\] Unlha$' <<<"$exports" && grep -qE '\] SevenZip$' <<<"$exports" ||
  { echo "fake_archiver.dll lacks Unlha or SevenZip"; exit 1; }

# Wine: quiet, headless, no Mono or Gecko installers, and a fresh prefix of
# its own. One persistent wineserver keeps each test start near 0.1 s.
prefix="$build_root/x86_64/wineprefix"
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64 DISPLAY=
stop_wineserver() { "$wineserver" -k >/dev/null 2>&1 || true; }
trap stop_wineserver EXIT
"$wineserver" -p
say "preparing the Wine prefix"
"$wine" wineboot --init >"$build_root/wineboot.log" 2>&1 || {
  cat "$build_root/wineboot.log"
  exit 1
}

say "running the x86_64 tests under Wine"
status=0
ctest --test-dir "$build_root/x86_64" --output-on-failure -j"$jobs" \
  --output-junit "$build_root/x86_64/tests.xml" || status=$?

printf '== the Windows build and tests took %d s\n' $(($(date +%s) - started))
exit "$status"
