#!/bin/bash
# The whole test suite on a fresh Debian machine: installs what is missing,
# builds, runs every test, runs them again under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs each fuzz target for a bounded time, and
# builds and tests the Windows program under Wine.
#
# Build and test output goes to log files in build-logs/. The screen shows
# each step with its own time, every failed test with the end of its output,
# every skipped test with its reason, and at the end one table (step, tests,
# passed, failed, skipped, seconds) and the line "N passed, N failed, N
# skipped". A build that fails counts as one failure and shows the end of its
# log; the steps after it still run.
#
#   tools/test-all.sh                     every step
#   tools/test-all.sh tests fuzz          only these (tests sanitize fuzz windows)
#   SKIP_WINDOWS=1 tools/test-all.sh      every step but the Windows one
#   FUZZ_SECONDS=30 tools/test-all.sh     each fuzz target runs 30 s (default 60)
#
# Exit status: 0 when nothing failed, 1 otherwise.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
logs=$PWD/build-logs
fuzz_seconds=${FUZZ_SECONDS:-60}
steps=${*:-tests sanitize fuzz windows}
[ -n "${SKIP_WINDOWS:-}" ] && steps=${steps//windows/}
for step in $steps; do
  case "$step" in
    tests | sanitize | fuzz | windows) ;;
    *) echo "test-all.sh: unknown step $step (tests sanitize fuzz windows)" >&2; exit 2 ;;
  esac
done
wants() { [[ " $steps " == *" $1 "* ]]; }

rm -rf "$logs"
mkdir -p "$logs"
rows=()
row() { rows+=("$*"); }  # step tests passed failed skipped seconds
heading() { printf '\n== %s  (log: %s)\n' "$1" "${2#"$PWD"/}"; }
# Compiler output is cached when ccache is there.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# build NAME FOLDER cmake-options...: configures and builds; a failure shows
# the end of the log.
build() {
  local name=$1 folder=$2 start=$SECONDS
  shift 2
  local log="$logs/$folder.log"
  heading "$name" "$log"
  if cmake -S . -B "$folder" "${launcher[@]}" "$@" >"$log" 2>&1 &&
    cmake --build "$folder" -j"$jobs" >>"$log" 2>&1; then
    printf '   built in %d s\n' $((SECONDS - start))
    row "$name" - - - - $((SECONDS - start))
    return 0
  fi
  printf '   BUILD FAILED after %d s; the end of its log:\n' $((SECONDS - start))
  tail -n 40 "$log" | sed 's/^/   | /'
  row "$name" - - 1 - $((SECONDS - start))
  return 1
}

# counts NAME JUNIT STATUS SECONDS: the row of a CTest run from its results;
# prints what failed and what was skipped. A non-zero status that the
# results do not explain is a failure too.
counts() {
  local name=$1 junit=$2 status=$3 seconds=$4 report tests=0 passed=0 failed=0 skipped=0
  if [ -s "$junit" ]; then
    report=$(awk -f tools/ctest-results.awk "$junit")
    read -r _ tests passed failed skipped <<<"$(head -n 1 <<<"$report")"
    tail -n +2 <<<"$report"
  fi
  if [ "$status" != 0 ] && [ "$failed" = 0 ]; then
    echo "   FAILED with exit status $status; see the log"
    failed=1
  elif [ "$tests" = 0 ]; then
    echo "   FAILED: no tests ran"
    failed=1
  fi
  printf '   %d tests: %d passed, %d failed, %d skipped in %d s\n' \
    "$tests" "$passed" "$failed" "$skipped" "$seconds"
  row "$name" "$tests" "$passed" "$failed" "$skipped" "$seconds"
}

# run_tests NAME FOLDER [VAR=value...]: CTest over a build folder.
run_tests() {
  local name=$1 folder=$2 start=$SECONDS status=0
  shift 2
  local log="$logs/$folder.tests.log" junit="$logs/$folder.tests.xml"
  heading "$name" "$log"
  env "$@" ctest --test-dir "$folder" -j"$jobs" --output-on-failure \
    --output-junit "$junit" >"$log" 2>&1 || status=$?
  counts "$name" "$junit" $status $((SECONDS - start))
}

fuzz() {
  local start=$SECONDS log="$logs/fuzz.log" tests=0 passed=0 failed=0 target name runs seeds
  heading "fuzz, $fuzz_seconds s per target" "$log"
  : >"$log"
  mkdir -p build-fuzz/artifacts
  for target in build-fuzz/bin/*_fuzz; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    tests=$((tests + 1))
    mkdir -p "build-fuzz/corpus/$name"
    # Each target starts from the seeds checked in under fuzz/corpus/<name>;
    # what it finds goes to build-fuzz/corpus/<name>.
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
    echo "--- $name" >>"$log"
    if "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix=build-fuzz/artifacts/ "build-fuzz/corpus/$name" "${seeds[@]}" \
      >>"$log" 2>&1; then
      passed=$((passed + 1))
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
      printf '   %-16s ok, %s inputs\n' "$name" "${runs:-?}"
    else
      failed=$((failed + 1))
      printf '   FAILED: %s; the end of its output:\n' "$name"
      tail -n 30 "$log" | sed 's/^/   | /'
    fi
  done
  [ $tests -gt 0 ] || { echo "   FAILED: no fuzz targets were built"; failed=1; }
  printf '   %d targets: %d passed, %d failed in %d s\n' $tests $passed $failed $((SECONDS - start))
  row "fuzz ($fuzz_seconds s per target)" $tests $passed $failed 0 $((SECONDS - start))
}

# windows: a row for each target, i686 under 32-bit Wine and x86_64 under
# 64-bit Wine.
windows() {
  local arch start status log junit name
  for arch in i686 x86_64; do
    start=$SECONDS status=0 log="$logs/build-windows-$arch.log"
    junit=build-windows/$arch/tests.xml name="Windows $arch under Wine"
    heading "Windows $arch build and tests under Wine" "$log"
    rm -f "$junit"
    tools/windows/test-windows.sh build-windows $arch >"$log" 2>&1 || status=$?
    if [ ! -s "$junit" ]; then
      printf '   FAILED before the tests ran (exit status %d); the end of its log:\n' $status
      tail -n 40 "$log" | sed 's/^/   | /'
      row "$name" - - 1 - $((SECONDS - start))
      continue
    fi
    counts "$name" "$junit" $status $((SECONDS - start))
  done
}

started=$SECONDS
groups="test"
wants windows && groups="$groups windows"
printf '== packages\n'
if tools/install-deps.sh $groups; then
  row packages - - - - $((SECONDS - started))
else
  row packages - - 1 - $((SECONDS - started))
fi

if wants tests; then
  build "build" build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    run_tests "tests" build
fi
if wants sanitize; then
  build "build with sanitizers" build-sanitize -DCMAKE_BUILD_TYPE=Debug \
    -DSLOTBACKUP_SANITIZE=ON -DSLOTBACKUP_BENCH=OFF &&
    run_tests "tests with sanitizers" build-sanitize ASAN_OPTIONS=detect_leaks=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
if wants fuzz; then
  CC=clang CXX=clang++ build "fuzz build" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSLOTBACKUP_FUZZ=ON -DSLOTBACKUP_TESTS=OFF -DSLOTBACKUP_BENCH=OFF &&
    fuzz
fi
wants windows && windows

# The summary.
total_tests=0 total_passed=0 total_failed=0 total_skipped=0
printf '\n%-30s %6s %7s %7s %8s %8s\n' step tests passed failed skipped seconds
for line in "${rows[@]}"; do
  read -r -a fields <<<"$line"
  n=${#fields[@]}
  name="${fields[*]:0:n-5}"
  printf '%-30s %6s %7s %7s %8s %8s\n' "$name" "${fields[@]:n-5}"
  [ "${fields[n - 5]}" = - ] || total_tests=$((total_tests + fields[n - 5]))
  [ "${fields[n - 4]}" = - ] || total_passed=$((total_passed + fields[n - 4]))
  [ "${fields[n - 3]}" = - ] || total_failed=$((total_failed + fields[n - 3]))
  [ "${fields[n - 2]}" = - ] || total_skipped=$((total_skipped + fields[n - 2]))
done
printf '%-30s %6d %7d %7d %8d %8d\n' total $total_tests $total_passed $total_failed \
  $total_skipped $((SECONDS - started))
printf '%d passed, %d failed, %d skipped\n' $total_passed $total_failed $total_skipped
[ $total_failed = 0 ]
