#!/bin/bash
# Every benchmark, from the repository alone: installs the other archivers
# it compares with, builds the benchmarks (Release), builds the corpus when
# it is missing (make_corpus; the same bytes on every machine, checked by the
# digest it prints), and prints one table: our archivers against the usual
# tools for each format (LHA: jlha lh5/lh7; ZIP: zip -6, 7zz -tzip, bsdtar;
# 7z: 7zz -t7z, bsdtar) with bytes, ratio, wall and CPU time, throughput and
# peak memory, medians of several runs taken in turns; the same again on a
# corpus of real files from Debian packages (bench/real-corpus.sh, its
# package versions and digest printed beside it). Then each of our
# writers' peak memory and bytes with the number of cores forced to 1, 2, 8
# and 64, the backup run's overhead over calling its archivers directly, and
# the settings reads of one run; and, where Wine and the Windows build's
# dependencies are installed, our Unlha32.dll under 64-bit Wine beside
# libUnlha32.so (bench/lha-wine.sh). The comparison is also drawn, size
# against time, as an SVG picture in the build folder.
#
#   bench/run-all.sh                everything
#   bench/run-all.sh lha zip        only these formats (lha zip 7z), no run figures
#   BENCH_RUNS=5                    runs of each archiver (default 3)
#   BENCH_BUILD=folder              the build folder (default build-bench)
#   BENCH_CORPUS=folder             the corpus (default <build folder>/bench-corpus)
#   BENCH_REAL_CORPUS=folder        the real files (default <build folder>/real-corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD:-build-bench}
corpus=${BENCH_CORPUS:-$build/bench-corpus}
real=${BENCH_REAL_CORPUS:-$build/real-corpus}
runs=${BENCH_RUNS:-3}
for format in "$@"; do
  case "$format" in
    lha | zip | 7z) ;;
    *) echo "run-all.sh: unknown format $format (lha zip 7z)" >&2; exit 2 ;;
  esac
done

tools/install-deps.sh bench
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
mkdir -p "$build"
log="$build/bench-build.log"
echo "== building the benchmarks (Release; log: $log)"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSLOTBACKUP_TESTS=OFF \
  -DSLOTBACKUP_BENCH=ON "${launcher[@]}" && cmake --build "$build" -j"$(nproc)"; } >"$log" 2>&1; then
  echo "the build failed; the end of $log:"
  tail -n 40 "$log"
  exit 1
fi

echo "== the corpus"
"$build/bin/make_corpus" "$corpus"

echo
echo "== our archivers and the others (progress on standard error)"
"$build/bin/archiver_bench" "$corpus" "$build/bench-work" --runs "$runs" \
  --svg "$build/bench-comparison.svg" "$@"
rm -rf "$build/bench-work"

echo
echo "== the same on real files (Debian packages; progress on standard error)"
bench/real-corpus.sh "$real"
"$build/bin/archiver_bench" "$real/files" "$build/bench-work" --runs "$runs" \
  --svg "$build/bench-comparison-real.svg" "$@"
rm -rf "$build/bench-work"

echo
echo "== our writers' peak memory with the core count forced (times say little beyond $(nproc) cores)"
"$build/bin/cores_bench" "$corpus" "$build/bench-work" "$@"
rm -rf "$build/bench-work"

# Our Unlha32.dll under 64-bit Wine beside libUnlha32.so, where Wine, the
# cross compiler and the Windows libraries (tools/install-deps.sh windows)
# are installed.
if { [ $# = 0 ] || [[ " $* " == *" lha "* ]]; } && [ -x /usr/lib/wine/wine64 ] &&
  command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
  [ -d "${SLOTBACKUP_MINGW_DEPS:-/usr/local/lib/slotbackup-mingw}/x86_64-w64-mingw32" ]; then
  echo
  echo "== Unlha32.dll under 64-bit Wine beside libUnlha32.so"
  windows="$build-win64"
  if { cmake -S . -B "$windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DSLOTBACKUP_TESTS=OFF "${launcher[@]}" &&
    cmake --build "$windows" -j"$(nproc)" --target Unlha32 call_archiver; } >>"$log" 2>&1; then
    bench/lha-wine.sh "$build" "$windows" "$corpus" "$runs"
  else
    echo "the Windows build failed; the end of $log:"
    tail -n 20 "$log"
  fi
fi

if [ $# = 0 ]; then
  echo
  echo "== the backup run's overhead over calling its archivers directly"
  "$build/bin/run_bench" "$corpus" "$runs"
  echo
  echo "== the settings reads of one run"
  "$build/bin/settings_bench"
fi
