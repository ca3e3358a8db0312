#!/bin/bash
# The whole test suite on a fresh Debian machine: installs what is missing,
# builds, runs every test, runs them again under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs each fuzz target for a bounded time, and
# builds and tests the Windows program under Wine.
#
#   tools/test-all.sh            everything
#   SKIP_WINDOWS=1 tools/test-all.sh
#   FUZZ_SECONDS=30 tools/test-all.sh
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
jobs=$(nproc)

groups="test"
[ -z "${SKIP_WINDOWS:-}" ] && groups="$groups windows"
tools/install-deps.sh $groups

step() { printf '\n=== %s (%ds)\n' "$1" $((SECONDS - started)); }

step "build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

step "build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSLOTBACKUP_SANITIZE=ON \
  -DSLOTBACKUP_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

step "fuzz"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSLOTBACKUP_FUZZ=ON -DSLOTBACKUP_TESTS=OFF -DSLOTBACKUP_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs"
# Each target starts from the seeds checked in under fuzz/corpus/<name>; what
# it finds goes to build-fuzz/corpus/<name>.
for target in build-fuzz/bin/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "build-fuzz/corpus/$name"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "--- $name for ${FUZZ_SECONDS:-60} s"
  "$target" -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=2048 -print_final_stats=1 \
    "build-fuzz/corpus/$name" "${seeds[@]}" 2>&1 | tail -n 4
done

if [ -z "${SKIP_WINDOWS:-}" ]; then
  step "Windows build under Wine"
  tools/windows/test-windows.sh build-windows
fi

step "all tests passed"
