#!/usr/bin/env bash
# Makes the Windows packages a user unpacks: slotbackup-<version>-win32.zip
# (the i686 build, for the 32-bit archiver DLLs most users have) and
# slotbackup-<version>-win64.zip (x86_64), each one folder holding the
# programs, our archiver DLLs, a sample slotbackup.ini in code page 932, the
# Task Scheduler task and a read-me: what `cmake --install` puts in place for
# a Windows build.
#
#   tools/windows/package.sh [output-folder [target...]]
#       (default: packages, targets i686 and x86_64)
#
# Builds Release with MinGW-w64 in <output-folder>/build-<target>; run
# `tools/install-deps.sh windows` once first.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=$(realpath -m "${1:-packages}")
shift $(($# > 0 ? 1 : 0))
targets=${*:-i686 x86_64}
jobs=${JOBS:-2}

launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

mkdir -p "$out"
for arch in $targets; do
  case $arch in
    i686) bits=32 ;;
    x86_64) bits=64 ;;
    *) echo "package.sh: unknown target $arch (i686 x86_64)" >&2; exit 2 ;;
  esac
  build="$out/build-$arch"
  cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DSLOTBACKUP_TESTS=OFF "${launcher[@]}" > "$build.configure.log"
  cmake --build "$build" -j"$jobs" > "$build.build.log"
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  name="slotbackup-$version-win$bits"
  rm -rf "${out:?}/$name" "$out/$name.zip"
  cmake --install "$build" --prefix "$out/$name" > /dev/null
  # A build that lacks an archiver DLL makes no package: a user would be left
  # to find one.
  for needed in slotbackup.exe slotbackup-check.exe Unlha32.dll slotbackup.ini \
                slotbackup-task.xml README.txt; do
    if [[ ! -f $out/$name/$needed ]]; then
      echo "package.sh: $needed is missing from the $arch build" >&2
      exit 1
    fi
  done
  (cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
  echo "$out/$name.zip"
done
