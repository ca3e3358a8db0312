#!/bin/bash
# Installs, when missing, the Debian packages that building, testing, the
# demo and the benchmarks need. Tried on Debian 12 (bookworm).
#
#   install-deps.sh [build|test|demo|bench|windows]...     (default: build)
#
# A fresh machine often updates its packages by itself at boot. While
# another program holds the package lock this waits, saying every 10 s which
# program holds it, for at most APT_LOCK_WAIT seconds (default 600), and
# then gives up with exit status 1. The sanitizer and fuzzer runtime
# installed for the tests is the one of the clang that is installed.
# apt-get's output goes to a temporary file, shown when it fails.
#
# The windows group also adds the i386 architecture, for the 32-bit Wine
# (wine32) that runs the i686 tests, and then builds, once per machine, the
# MinGW-w64 libraries the Windows archiver DLLs link from Debian's source
# packages (tools/windows/mingw-deps.sh says how and where).
set -euo pipefail
export LC_ALL=C DEBIAN_FRONTEND=noninteractive

build="cmake g++ make pkg-config libgtest-dev libarchive-dev liblzma-dev zlib1g-dev libdeflate-dev"
test="libarchive-tools lhasa 7zip unar jlha-utils unzip zip clang systemd file libxml2-utils binutils locales"
demo="libarchive-tools"
bench="jlha-utils zip 7zip libarchive-tools"
windows="cmake make pkg-config g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  libz-mingw-w64-dev wine64 wine32:i386 googletest locales dpkg-dev xz-utils"

# The locks apt-get and dpkg take (INSTALL_DEPS_LOCKS names others in tests).
lock_files=${INSTALL_DEPS_LOCKS:-/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock
  /var/lib/apt/lists/lock /var/cache/apt/archives/lock}
lock_wait=${APT_LOCK_WAIT:-600}

wanted=""
runtime=no cross=no
for group in "${@:-build}"; do
  case "$group" in
    build) wanted="$wanted $build" ;;
    test) wanted="$wanted $build $test" runtime=yes ;;
    demo) wanted="$wanted $build $demo" ;;
    bench) wanted="$wanted $build $bench" ;;
    windows) wanted="$wanted $windows" cross=yes ;;
    *) echo "install-deps.sh: unknown group $group (build test demo bench windows)" >&2; exit 2 ;;
  esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }
missing_of() {
  local p missing=""
  for p in "$@"; do
    [[ " $missing " == *" $p "* ]] || installed "$p" || missing="$missing $p"
  done
  echo "$missing"
}

# Prints "process PID (NAME)" for a process that holds one of the package
# locks, nothing when none is held. /proc/locks names each lock's holder and
# the inode of the locked file.
lock_holder() {
  local file inode pid
  for file in $lock_files; do
    [ -e "$file" ] || continue
    inode=$(stat -c %i "$file")
    pid=$(awk -v inode="$inode" '{
      for (i = 2; i <= NF; ++i) if ($i ~ /^[0-9a-f]+:[0-9a-f]+:[0-9]+$/) {
        split($i, id, ":")
        if (id[3] == inode && $(i - 1) != "->") { print $(i - 1); exit }
      } }' /proc/locks 2>/dev/null)
    if [ -n "$pid" ]; then
      echo "process $pid ($(cat "/proc/$pid/comm" 2>/dev/null || echo "name unknown"))"
      return
    fi
  done
}

started=$SECONDS
said=-10
wait_for_lock() {
  local holder
  while holder=$(lock_holder) && [ -n "$holder" ]; do
    if [ $((SECONDS - started)) -ge "$lock_wait" ]; then
      echo "install-deps.sh: the package lock is still held by $holder after" \
        "$((SECONDS - started)) s; run this again when it is done" \
        "(APT_LOCK_WAIT sets how long to wait)" >&2
      return 1
    fi
    if [ $((SECONDS - said)) -ge 10 ]; then
      echo "waiting for the package lock, held by $holder" \
        "($((SECONDS - started)) s of at most $lock_wait s)"
      said=$SECONDS
    fi
    sleep 1
  done
}

log=$(mktemp "${TMPDIR:-/tmp}/install-deps.XXXXXX")
trap 'rm -f "$log"' EXIT
# apt-get once the lock is free. Another program may take the lock between
# the look and apt-get's own start: apt-get install then waits for it while
# time is left, apt-get update does not wait, so either is tried again.
apt_get() {
  local left
  while :; do
    wait_for_lock || exit 1
    left=$((lock_wait - (SECONDS - started)))
    apt-get -o DPkg::Lock::Timeout=$((left > 0 ? left : 0)) "$@" >>"$log" 2>&1 && return 0
    grep -qE 'Could not get lock|Unable to acquire the dpkg frontend lock' "$log" || return 1
    [ $((SECONDS - started)) -lt "$lock_wait" ] || return 1
    : >"$log"
  done
}

install_packages() {
  echo "installing: $*"
  apt_get install -y --no-install-recommends "$@" ||
    { apt_get update && apt_get install -y --no-install-recommends "$@"; } || {
    echo "install-deps.sh: could not install $*; apt-get said:" >&2
    tail -n 20 "$log" >&2
    return 1
  }
}

# The package of the installed clang's sanitizer and fuzzer runtime, when
# that runtime is missing. Releases that ship it with clang itself (Debian
# 11) need none; later ones have libclang-rt-<major>-dev.
runtime_package() {
  local major resource
  command -v clang >/dev/null || return 0
  resource=$(clang -print-resource-dir)
  [ -z "$(find "$resource/lib" -name 'libclang_rt.fuzzer*' 2>/dev/null)" ] || return 0
  major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
  if [ -z "$major" ]; then
    echo "install-deps.sh: clang lacks its fuzzer runtime, and its version is unknown" >&2
    return 0
  fi
  echo "libclang-rt-$major-dev"
}

missing=$(missing_of $wanted)
[ $runtime = no ] || [ -n "$missing" ] || missing=$(runtime_package)
if [ -n "$missing" ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$missing (run as root, or: sudo apt-get install$missing)" >&2
    exit 1
  fi
  # wine32 is an i386 package: its architecture first, and then package
  # lists that hold it (the install below updates them when it fails).
  if [[ "$missing" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "adding the i386 architecture (for wine32)"
    wait_for_lock || exit 1
    dpkg --add-architecture i386
  fi
  install_packages $missing
  if [ $runtime = yes ]; then
    missing=$(runtime_package)
    [ -z "$missing" ] || install_packages $missing
  fi
fi

# The profile tests also read settings files on a system whose code page is
# not UTF-8 (EUC-JP), which needs that locale.
if [ $runtime = yes ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.euc-\?jp'; then
  if [ "$(id -u)" != 0 ]; then
    echo "missing locale ja_JP.EUC-JP (run as root, or: sudo localedef -i ja_JP -f EUC-JP ja_JP.EUC-JP)" >&2
    exit 1
  fi
  echo "generating the ja_JP.EUC-JP locale"
  localedef -i ja_JP -f EUC-JP ja_JP.EUC-JP
fi

if [ $cross = yes ]; then
  "$(dirname "${BASH_SOURCE[0]}")/windows/mingw-deps.sh"
fi
