#!/bin/bash
# tools/test-all.sh in a copy of its folder with stand-ins for cmake, ctest,
# the fuzz targets, the package installer and the Windows script: it keeps
# build output off the screen, shows failures and skips with their reasons,
# ends with the summary table and a closing line whose counts add up, goes
# on after a failed build, counts it as a failure, and exits with 1 whenever
# anything failed.
# Usage: test_all_test.sh SOURCE_FOLDER
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-test-all.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

repo="$work/repo"
mkdir -p "$repo/tools/windows" "$work/bin"
cp "$source/tools/test-all.sh" "$source/tools/ctest-results.awk" "$repo/tools/"
printf '#!/bin/sh\nexit 0\n' >"$repo/tools/install-deps.sh"
# The Windows script, for the target it is given: one passing test for
# i686, two for x86_64.
cat >"$repo/tools/windows/test-windows.sh" <<'SH'
#!/bin/sh
mkdir -p "$1/$2"
{
  echo "<testsuite>"
  for case in One Two; do
    [ "$2" = i686 ] && [ $case = Two ] && continue
    echo "	<testcase name=\"w.$2.$case\" classname=\"w.$2.$case\" time=\"0.1\" status=\"run\">"
    echo "	</testcase>"
  done
  echo "</testsuite>"
} >"$1/$2/tests.xml"
SH
chmod +x "$repo/tools/"*.sh "$repo/tools/windows/test-windows.sh"

# cmake: configuring makes the folder; building prints progress lines, or
# fails for the folder named in $work/broken; the fuzz build makes one
# target that passes and one that crashes.
cat >"$work/bin/cmake" <<'SH'
#!/bin/bash
if [ "$1" = --build ]; then
  echo "[ 50%] Building CXX object something.o"
  if [ "$(cat "$FAKE/broken" 2>/dev/null)" = "$2" ]; then
    echo "error: the compiler gave up on $2"
    exit 1
  fi
  if [ "$2" = build-fuzz ]; then
    mkdir -p build-fuzz/bin
    printf '#!/bin/sh\necho stat::number_of_executed_units: 4242\n' >build-fuzz/bin/good_fuzz
    printf '#!/bin/sh\necho "ERROR: AddressSanitizer: heap-buffer-overflow"\nexit 1\n' \
      >build-fuzz/bin/crash_fuzz
    chmod +x build-fuzz/bin/*
  fi
  exit 0
fi
while [ $# -gt 0 ]; do
  [ "$1" = -B ] && mkdir -p "$2"
  shift
done
SH
# ctest: the results $work/<folder>.xml hold, and the exit status in
# $work/<folder>.status.
cat >"$work/bin/ctest" <<'SH'
#!/bin/bash
while [ $# -gt 0 ]; do
  case "$1" in
    --test-dir) folder=$2; shift ;;
    --output-junit) junit=$2; shift ;;
  esac
  shift
done
cp "$FAKE/$folder.xml" "$junit"
exit "$(cat "$FAKE/$folder.status")"
SH
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH" FAKE="$work"

cat >"$work/build.xml" <<'XML'
<testsuite>
	<testcase name="p.S.Passes" classname="p.S.Passes" time="0.1" status="run">
		<system-out>[       OK ] S.Passes</system-out>
	</testcase>
	<testcase name="p.S.AlsoPasses" classname="p.S.AlsoPasses" time="0.1" status="run">
	</testcase>
	<testcase name="p.S.NeedsAUser" classname="p.S.NeedsAUser" time="0.1" status="notrun">
		<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>
		<system-out>x.cpp:3: Skipped
runs only as a user without privileges
[  SKIPPED ] S.NeedsAUser (0 ms)
</system-out>
	</testcase>
</testsuite>
XML
echo 0 >"$work/build.status"
cat >"$work/build-sanitize.xml" <<'XML'
<testsuite>
	<testcase name="p.S.Passes" classname="p.S.Passes" time="0.1" status="run">
	</testcase>
	<testcase name="p.S.Leaks" classname="p.S.Leaks" time="0.2" status="fail">
		<failure message=""/>
		<system-out>ERROR: LeakSanitizer: detected memory leaks</system-out>
	</testcase>
</testsuite>
XML
echo 8 >"$work/build-sanitize.status"

status=0
FUZZ_SECONDS=1 bash "$repo/tools/test-all.sh" >"$work/out" 2>&1 || status=$?
out=$(cat "$work/out")
[ $status = 1 ] || fail "exit status $status although tests failed:"$'\n'"$out"
! grep -q "Building CXX" <<<"$out" || fail "build output reached the screen"
grep -q "skipped: p.S.NeedsAUser: runs only as a user without privileges" <<<"$out" ||
  fail "the skip's reason is not shown:"$'\n'"$out"
grep -q "FAILED: p.S.Leaks" <<<"$out" && grep -q "LeakSanitizer" <<<"$out" ||
  fail "the failed test and its output are not shown:"$'\n'"$out"
grep -q "FAILED: crash_fuzz" <<<"$out" && grep -q "good_fuzz .*ok, 4242 inputs" <<<"$out" ||
  fail "the fuzz targets are not reported:"$'\n'"$out"
grep -qE '^step +tests +passed +failed +skipped +seconds$' <<<"$out" || fail "no summary table"
grep -qE '^tests +3 +2 +0 +1 +[0-9]+$' <<<"$out" || fail "wrong tests row:"$'\n'"$out"
grep -qE '^tests with sanitizers +2 +1 +1 +0 +[0-9]+$' <<<"$out" || fail "wrong sanitizer row"
grep -qE '^fuzz \(1 s per target\) +2 +1 +1 +0 +[0-9]+$' <<<"$out" || fail "wrong fuzz row"
grep -qE '^Windows i686 under Wine +1 +1 +0 +0 +[0-9]+$' <<<"$out" &&
  grep -qE '^Windows x86_64 under Wine +2 +2 +0 +0 +[0-9]+$' <<<"$out" ||
  fail "wrong Windows rows:"$'\n'"$out"
[ "$(tail -n 1 <<<"$out")" = "7 passed, 2 failed, 1 skipped" ] ||
  fail "closing line: $(tail -n 1 <<<"$out")"
[ -s "$repo/build-logs/build.log" ] || fail "no build log"

# A build that fails: the end of its log is shown, it counts as a failure,
# its tests are not run, and the other steps still are.
echo build >"$work/broken"
echo 0 >"$work/build-sanitize.status"
sed -i '/Leaks/,/<\/testcase>/d' "$work/build-sanitize.xml"
status=0
bash "$repo/tools/test-all.sh" tests sanitize >"$work/out" 2>&1 || status=$?
out=$(cat "$work/out")
[ $status = 1 ] || fail "a failed build ends with exit status $status"
grep -q "BUILD FAILED" <<<"$out" && grep -q "error: the compiler gave up on build" <<<"$out" ||
  fail "the failed build's log is not shown:"$'\n'"$out"
grep -qE '^build +- +- +1 +- +[0-9]+$' <<<"$out" || fail "the failed build is not counted"
! grep -qE '^tests +[0-9]' <<<"$out" || fail "tests ran on a failed build"
grep -qE '^tests with sanitizers +1 +1 +0 +0 +[0-9]+$' <<<"$out" || fail "later steps did not run"
[ "$(tail -n 1 <<<"$out")" = "1 passed, 1 failed, 0 skipped" ] ||
  fail "closing line: $(tail -n 1 <<<"$out")"

# CTest fails although its results show no failed test (it could not list
# a program's cases, say): still a failure.
rm "$work/broken"
echo 8 >"$work/build-sanitize.status"
status=0
bash "$repo/tools/test-all.sh" sanitize >"$work/out" 2>&1 || status=$?
[ $status = 1 ] && grep -q "FAILED with exit status 8" "$work/out" ||
  fail "a failing ctest was taken for success: $(cat "$work/out")"
[ "$(tail -n 1 "$work/out")" = "1 passed, 1 failed, 0 skipped" ] || fail "$(tail -n 1 "$work/out")"

# Everything passes: exit status 0.
echo 0 >"$work/build-sanitize.status"
status=0
bash "$repo/tools/test-all.sh" sanitize >"$work/out" 2>&1 || status=$?
[ $status = 0 ] || fail "all passed, yet exit status $status: $(cat "$work/out")"
[ "$(tail -n 1 "$work/out")" = "1 passed, 0 failed, 0 skipped" ] || fail "$(tail -n 1 "$work/out")"
echo "ok: the summary adds up, failures and skips say why, a failed build fails the run"
