#!/usr/bin/env bash
# Builds slotbackup for Windows with MinGW-w64 and runs its tests under Wine,
# for each target: i686, the one users install beside the 32-bit archiver
# DLLs, under 32-bit Wine (Debian's wine32) in a 32-bit prefix, and x86_64
# under 64-bit Wine.
#
#   tools/windows/test-windows.sh [build-folder [target...]]
#       (default: build-windows, targets i686 and x86_64)
#
# Installs the cross compilers, Wine and the libraries the archiver DLLs link
# when they are missing. Exits non-zero when a build or a test fails; the
# test results are also written as JUnit to <build-folder>/<target>/tests.xml.
set -euo pipefail

started=$(date +%s)
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_root=$(realpath -m "${1:-build-windows}")
shift $(($# > 0 ? 1 : 0))
targets=${*:-i686 x86_64}
jobs=${JOBS:-2}
for arch in $targets; do
  case $arch in
    i686 | x86_64) ;;
    *) echo "test-windows.sh: unknown target $arch (i686 x86_64)" >&2; exit 2 ;;
  esac
done

say() { printf '== %s (%d s)\n' "$*" $(($(date +%s) - started)); }

"$source_dir/tools/install-deps.sh" windows

# The tests run in a Japanese locale, as the program's users do (ANSI code
# page 932). Wine needs the locale installed to name files in it.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  say "generating the ja_JP.UTF-8 locale"
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# Compiler output is cached when ccache is there.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# 32-bit Wine is a 32-bit Linux program. On a machine whose kernel runs no
# 32-bit programs (some virtual machines) the i686 program and DLLs are
# built, but not the tests, and their results hold one skipped case that
# says why.
# Only the kernel's refusal (status 126) counts: a Wine that is missing or
# broken fails the tests instead.
runs_32bit=yes
/usr/lib/wine/wine --version >/dev/null 2>&1 || [ $? != 126 ] || runs_32bit=no
skip_i686() {
  local reason="32-bit Wine cannot start here: this machine does not run 32-bit (i386) programs"
  echo "$reason; the i686 tests are left out"
  cat >"$1/tests.xml" <<XML
<testsuite name="i686" tests="1" failures="0" disabled="0" skipped="1">
	<testcase name="windows_i686.Wine32" classname="windows_i686.Wine32" time="0" status="notrun">
		<skipped message="SKIP_NO_32BIT"/>
		<system-out>$reason</system-out>
	</testcase>
</testsuite>
XML
}

# Wine: quiet, headless, no Mono or Gecko installers, and a fresh prefix of
# its own for each target. One persistent wineserver keeps each test start
# near 0.1 s. The i686 tests run under the 32-bit loader in a 32-bit prefix,
# not through 64-bit Wine's WoW64 layer.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wineserver=""
stop_wineserver() { [ -z "$wineserver" ] || "$wineserver" -k >/dev/null 2>&1 || true; }
trap stop_wineserver EXIT

mkdir -p "$build_root"
status=0
for arch in $targets; do
  build=$build_root/$arch
  rm -f "$build/tests.xml"
  tests=$([ $arch = i686 ] && [ $runs_32bit = no ] && echo OFF || echo ON)
  say "building for Windows $arch"
  cmake -S "$source_dir" -B "$build" "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DSLOTBACKUP_TESTS=$tests >"$build_root/cmake-$arch.log" 2>&1 ||
    { cat "$build_root/cmake-$arch.log"; exit 1; }
  cmake --build "$build" -j"$jobs"

  if [ "$arch" = i686 ]; then
    # The archiver DLLs users install export plain names ("Unlha"); a
    # stdcall export linked without --kill-at would be "Unlha@16" and never
    # be found.
    say "checking the entry point names the i686 DLLs export"
    for dll in "$build"/bin/*.dll; do
      exports=$(i686-w64-mingw32-objdump -p "$dll" | sed -n '/Ordinal\/Name Pointer/,/^$/p')
      if grep -qE '@[0-9]+$' <<<"$exports"; then
        echo "$dll exports decorated names:"
        echo "$exports"
        exit 1
      fi
    done
    exports=$(i686-w64-mingw32-objdump -p "$build/bin/fake_archiver.dll")
    grep -qE '\] Unlha$' <<<"$exports" && grep -qE '\] SevenZip$' <<<"$exports" ||
      { echo "fake_archiver.dll lacks Unlha or SevenZip"; exit 1; }
    grep -qE '\] Unlha$' <(i686-w64-mingw32-objdump -p "$build/bin/Unlha32.dll") ||
      { echo "Unlha32.dll lacks Unlha"; exit 1; }
    # Ours need nothing but the system's DLLs: no C++ runtime beside them.
    for file in "$build"/bin/Unlha32.dll "$build"/bin/slotbackup.exe; do
      if i686-w64-mingw32-objdump -p "$file" | grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread)'; then
        echo "$file needs a MinGW runtime DLL"
        exit 1
      fi
    done
    [ $runs_32bit = yes ] || { skip_i686 "$build"; continue; }
    wine=/usr/lib/wine/wine wineserver=/usr/lib/wine/wineserver32 WINEARCH=win32 bits=32
  else
    wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver64 WINEARCH=win64 bits=64
  fi

  export WINEPREFIX="$build/wineprefix" WINEARCH
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p
  say "preparing the $bits-bit Wine prefix"
  "$wine" wineboot --init >"$build_root/wineboot-$arch.log" 2>&1 || {
    cat "$build_root/wineboot-$arch.log"
    exit 1
  }
  # What the prefix's Windows says it runs on: x86 or AMD64.
  machine=$("$wine" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
    /v PROCESSOR_ARCHITECTURE 2>/dev/null | awk '/PROCESSOR_ARCHITECTURE/ { print $NF }' | tr -d '\r')
  [ "$machine" = "$([ $bits = 32 ] && echo x86 || echo AMD64)" ] ||
    { echo "the Wine prefix for $arch runs on ${machine:-an unknown machine}"; exit 1; }

  say "running the $arch tests under $bits-bit Wine"
  ctest --test-dir "$build" --output-on-failure -j"$jobs" \
    --output-junit "$build/tests.xml" || status=$?
  stop_wineserver
done

printf '== the Windows build and tests took %d s\n' $(($(date +%s) - started))
exit "$status"
