#!/bin/bash
# lha-wine.sh - Unlha32.dll under 64-bit Wine beside libUnlha32.so on this
# host, lh5 and lh7 on the benchmark corpus: archive bytes, whether the
# members hold the same data (only the headers may differ: how each system
# names files), and wall time, the median of several runs taken in turn.
# The DLL's runs include starting Wine (its server kept running).
#
#   usage: lha-wine.sh BUILD_DIR WINDOWS_BUILD_DIR CORPUS_DIR [RUNS]
#
# BUILD_DIR holds lha_bench, WINDOWS_BUILD_DIR (cmake/mingw-w64-x86_64.cmake)
# Unlha32.dll and call_archiver.exe.
set -euo pipefail
build=$(realpath "$1")
windows=$(realpath "$2")
corpus=$(realpath "$3")
runs=${4:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/lha-wine.XXXXXX")
export WINEPREFIX="$work/wineprefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
trap '/usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver64 -p
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
now() { date +%s.%N; }
median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "corpus $(basename "$corpus"): $(du -sb "$corpus" | cut -f1) bytes; medians of $runs runs"
echo "| method | libUnlha32.so bytes | wall s | Unlha32.dll (Wine) bytes | wall s | DLL / so | member data |"
echo "|---|---|---|---|---|---|---|"
for method in 5 7; do
  native="$work/native.lzh" dll="$work/dll.lzh"
  native_times="" dll_times=""
  command=$(printf 'a -r2 -x1 -o%s "%s" "%s"' $method "$(windows_path "$dll")" "$(windows_path "$corpus")")
  for _ in $(seq "$runs"); do
    rm -f "$native" "$dll"
    start=$(now)
    (cd "$(dirname "$corpus")" && "$build/bin/lha_bench" --pack -o$method "$native" "$corpus")
    native_times+=" $(echo "$(now) - $start" | bc)"
    start=$(now)
    /usr/lib/wine/wine64 "$windows/bin/call_archiver.exe" Unlha32 Unlha "$command" >/dev/null
    dll_times+=" $(echo "$(now) - $start" | bc)"
  done
  native_wall=$(median <<<"${native_times# }")
  dll_wall=$(median <<<"${dll_times# }")
  same=$("$build/bin/lha_bench" --same-data "$native" "$dll" || true)
  printf '| lh%s | %s | %.2f | %s | %.2f | %.2f | %s |\n' $method "$(stat -c %s "$native")" \
    "$native_wall" "$(stat -c %s "$dll")" "$dll_wall" "$(echo "$dll_wall / $native_wall" | bc -l)" \
    "$same"
done
