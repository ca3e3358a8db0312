#!/usr/bin/env bash
# Builds slotbackup for Windows with MinGW-w64, both targets (i686, the one
# users install beside the 32-bit archiver DLLs, and x86_64), and runs the
# x86_64 tests under Wine. The i686 programs are built only: 32-bit Windows
# programs cannot run where Wine has no 32-bit support.
#
#   tools/windows/test-windows.sh [build-folder]     (default: build-windows)
#
# Installs the cross compilers and Wine with apt-get when they are missing.
# Exits non-zero when a build or a test fails.
set -euo pipefail

started=$(date +%s)
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_root=$(realpath -m "${1:-build-windows}")
jobs=${JOBS:-2}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

say() { printf '== %s\n' "$*"; }

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
  ! command -v i686-w64-mingw32-g++-posix >/dev/null || [ ! -x "$wine" ] ||
  [ ! -d /usr/src/googletest ]; then
  say "installing the MinGW-w64 compilers, Wine and the GoogleTest sources"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends g++-mingw-w64-x86-64-posix \
    g++-mingw-w64-i686-posix wine64 googletest cmake make >/dev/null
fi

for arch in i686 x86_64; do
  say "building for Windows $arch"
  cmake -S "$source_dir" -B "$build_root/$arch" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$build_root/cmake-$arch.log" 2>&1 ||
    { cat "$build_root/cmake-$arch.log"; exit 1; }
  cmake --build "$build_root/$arch" -j"$jobs"
done

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
ctest --test-dir "$build_root/x86_64" --output-on-failure -j"$jobs" || status=$?

say "Windows build and tests took $(($(date +%s) - started)) s"
exit "$status"
