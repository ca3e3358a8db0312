#!/bin/bash
# What tools/test-all.sh reports is what CTest saw: a small project registers
# GoogleTest cases through cmake/SlotbackupTest.cmake (one that passes, one
# that fails, one that skips itself, a DISABLED_ case that others start) and
# shell tests (one that exits 77, one whose program does not exist, one that
# runs past its time), runs CTest, and checks the counts and the reasons
# tools/ctest-results.awk reads from the results.
# Usage: ctest_results_test.sh SOURCE_FOLDER
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-results.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

mkdir -p "$work/project"
cat >"$work/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(results LANGUAGES CXX)
enable_testing()
find_package(GTest REQUIRED)
set(SLOTBACKUP_TESTS ON)
add_library(slotbackup_core INTERFACE)
add_library(test_support INTERFACE)
add_library(platform_fault_injection INTERFACE)
add_library(archlib_thread_injection INTERFACE)
include("$source/cmake/SlotbackupTest.cmake")
slotbackup_test(cases cases.cpp)
add_test(NAME shell_skips COMMAND sh -c "echo 'needs a tool that is missing'; exit 77")
set_tests_properties(shell_skips PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME no_such_program COMMAND "$work/no such program")
add_test(NAME runs_too_long COMMAND sleep 30)
set_tests_properties(runs_too_long PROPERTIES TIMEOUT 1)
CMAKE
cat >"$work/project/cases.cpp" <<'CPP'
#include <gtest/gtest.h>
TEST(Cases, Passes) { EXPECT_EQ(2, 1 + 1); }
TEST(Cases, Fails) { EXPECT_EQ(3, 1 + 1) << "the sum & <its> \"reason\""; }
TEST(Cases, SkipsItself) { GTEST_SKIP() << "runs only as a user without privileges"; }
TEST(Cases, DISABLED_StartedByAnotherCase) { FAIL() << "never listed"; }
CPP
cmake -S "$work/project" -B "$work/build" >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; exit 1; }
cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }

status=0
ctest --test-dir "$work/build" --output-junit results.xml >"$work/ctest.log" 2>&1 || status=$?
[ $status != 0 ] || fail "ctest reports success although cases failed"
report=$(awk -f "$source/tools/ctest-results.awk" "$work/build/results.xml")

# Six tests: the DISABLED_ case is not one of them. The missing program
# and the timeout are failures, not skips.
counts=$(head -n 1 <<<"$report")
[ "$counts" = "COUNTS 6 1 3 2" ] || fail "counts '$counts', not 'COUNTS 6 1 3 2':"$'\n'"$report"
grep -qF "FAILED: cases.Cases.Fails" <<<"$report" || fail "the failed case is not named"
grep -qF 'the sum & <its> "reason"' <<<"$report" || fail "the failure's output is not shown as written"
grep -qF "FAILED: no_such_program" <<<"$report" || fail "a test that could not start is not a failure"
grep -qE "FAILED: runs_too_long \\([1-9][0-9.]* s\\)" <<<"$report" || fail "a test that timed out is not a failure, with the time it ran"
grep -qF "skipped: cases.Cases.SkipsItself: runs only as a user without privileges" <<<"$report" ||
  fail "the skipped case's reason is missing"
grep -qF "skipped: shell_skips: needs a tool that is missing" <<<"$report" ||
  fail "the shell test's reason for skipping is missing"
! grep -q "StartedByAnotherCase" <<<"$report" || fail "a DISABLED_ case was listed"
echo "ok: counts and reasons match what CTest ran"
