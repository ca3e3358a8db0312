#!/bin/bash
# Installs, when missing, the Debian packages that building and testing
# slotbackup need. Usage: install-deps.sh [build|test|windows]...
set -euo pipefail

build="cmake g++ make pkg-config libgtest-dev libarchive-dev liblzma-dev zlib1g-dev"
test="libarchive-tools lhasa 7zip unar jlha-utils unzip zip clang libclang-rt-14-dev systemd"
windows="mingw-w64 wine64 googletest locales"

wanted=""
for group in "${@:-build}"; do
  case "$group" in
    build) wanted="$wanted $build" ;;
    test) wanted="$wanted $build $test" ;;
    windows) wanted="$wanted $windows" ;;
    *) echo "install-deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done

missing=""
for p in $wanted; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing packages:$missing (run as root, or: sudo apt-get install$missing)" >&2
  exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends $missing >/dev/null 2>&1 ||
  { apt-get update >/dev/null && apt-get install -y --no-install-recommends $missing >/dev/null; }
