#!/bin/bash
# tools/install-deps.sh against stand-ins for apt-get, dpkg-query, clang and
# id, with package locks of its own held by another process: it waits for a
# held lock and names its holder, gives up after APT_LOCK_WAIT seconds
# without calling apt-get, tries again when another program takes the lock
# first, updates the package lists when a package cannot be found, installs
# the sanitizer runtime of the installed clang, and reports what apt-get said
# when it fails. For the windows group: adds the i386 architecture before it
# installs wine32, derives the private deb-src list of the MinGW library
# build from the machine's one-line and deb822 sources without touching
# them, stops when a download fails its checks, and takes a finished build's
# stamp without fetching anything.
# Usage: install_deps_test.sh SOURCE_FOLDER
set -euo pipefail
script=$(realpath "$1")/tools/install-deps.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-deps.XXXXXX")
holder=""
cleanup() {
  [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

mkdir -p "$work/bin" "$work/resource/lib/linux"
# Installed: every package but those listed in $work/missing.
cat >"$work/bin/dpkg-query" <<'SH'
#!/bin/bash
package=${!#}
grep -qxF "$package" "$FAKE/missing" && exit 1
echo "install ok installed"
SH
# Records each call; $FAKE/apt-answers holds the outcome of each next call
# (ok, nolists, locked, broken), "ok" when it runs out.
cat >"$work/bin/apt-get" <<'SH'
#!/bin/bash
echo "$*" >>"$FAKE/calls"
# With a private source list (the MinGW library build): a copy of the list;
# "source" fails as a download that does not match its index does.
for arg; do
  case $arg in
    Dir::Etc::SourceList=*) cp "${arg#*=}" "$FAKE/private.list" ;;
    Dir::Etc::SourceParts=*) rm -rf "$FAKE/private.parts" && cp -r "${arg#*=}" "$FAKE/private.parts" ;;
  esac
done
case " $* " in
  *" source "*) echo "E: Failed to fetch libarchive_3.6.2.orig.tar.xz  Hash Sum mismatch"; exit 100 ;;
  *Dir::Etc::SourceList=*) exit 0 ;;
esac
if [ -n "${HOLDER:-}" ] && kill -0 "$HOLDER" 2>/dev/null; then echo held >>"$FAKE/calls"; fi
answer=$(head -n 1 "$FAKE/apt-answers" 2>/dev/null || true)
sed -i 1d "$FAKE/apt-answers" 2>/dev/null || true
case "${answer:-ok}" in
  nolists) [ "${*: -1}" = update ] || { echo "E: Unable to locate package x"; exit 100; } ;;
  locked) echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 1 (apt)"
    exit 100 ;;
  broken) echo "E: Sub-process /usr/bin/dpkg returned an error code (1)"; exit 100 ;;
esac
for package in "$@"; do sed -i "/^$package\$/d" "$FAKE/missing"; done
SH
cat >"$work/bin/clang" <<'SH'
#!/bin/bash
case "$1" in
  --version) echo "Debian clang version $FAKE_CLANG.0.6" ;;
  -print-resource-dir) echo "$FAKE/resource" ;;
esac
SH
cat >"$work/bin/dpkg" <<'SH'
#!/bin/bash
echo "dpkg $*" >>"$FAKE/calls"
case "$1" in
  --print-foreign-architectures) cat "$FAKE/foreign" 2>/dev/null ;;
  --add-architecture) echo "$2" >>"$FAKE/foreign" ;;
esac
SH
cat >"$work/bin/id" <<'SH'
#!/bin/bash
echo "${FAKE_UID:-0}"
SH
chmod +x "$work/bin"/*
export PATH="$work/bin:$PATH" FAKE="$work" FAKE_CLANG=16 FAKE_UID=0
export INSTALL_DEPS_LOCKS="$work/lock-frontend $work/lists-lock"
export INSTALL_DEPS_ETC="$work/etc" SLOTBACKUP_MINGW_DEPS="$work/mingw"
touch "$work/lock-frontend" "$work/lists-lock"

# run NAME [arguments...]: install-deps.sh with fresh calls; output in $work/out.
run() {
  : >"$work/calls"
  status=0
  "$script" "$@" >"$work/out" 2>&1 || status=$?
}
# $1 = lock file, $2 = seconds; the holder is one process, "perl". With a
# third argument "early" it lets go as soon as install-deps.sh has said that
# it waits, however slow the machine.
hold() {
  : >"$work/out"
  perl -e 'open(my $f, ">>", $ARGV[0]) or die; flock($f, 2) or die;
    for (1 .. 10 * $ARGV[1]) {
      if ($ARGV[2] && open(my $o, "<", $ARGV[2])) { last if grep(/waiting for the package lock/, <$o>) }
      select(undef, undef, undef, 0.1) }' "$1" "$2" "${3:+$work/out}" &
  holder=$!
  export HOLDER=$holder
  for _ in $(seq 50); do grep -q " $holder " /proc/locks && return; sleep 0.1; done
  fail "the stand-in holder did not take $1"
}
touch "$work/resource/lib/linux/libclang_rt.fuzzer-x86_64.a"

# Nothing missing: apt-get is not called.
: >"$work/missing"
run test
[ $status = 0 ] && [ ! -s "$work/calls" ] || fail "nothing missing, yet: $(cat "$work/out" "$work/calls")"

# A held lock: it waits, says who holds it, and installs once it is free.
echo zip >"$work/missing"
hold "$work/lists-lock" 30 early
APT_LOCK_WAIT=60 run build demo bench
[ $status = 0 ] || fail "waiting for the lock ended with $status: $(cat "$work/out")"
grep -qF "waiting for the package lock, held by process $holder (perl)" "$work/out" ||
  fail "no message naming the holder: $(cat "$work/out")"
! grep -qx held "$work/calls" || fail "apt-get ran while the lock was held"
grep -q "DPkg::Lock::Timeout=[0-9]* install -y --no-install-recommends zip" "$work/calls" ||
  fail "apt-get install was not asked to wait for the lock: $(cat "$work/calls")"
wait "$holder" || true

# A lock held for longer than APT_LOCK_WAIT: it gives up without apt-get.
echo zip >"$work/missing"
hold "$work/lock-frontend" 30
start=$SECONDS
APT_LOCK_WAIT=2 run bench
[ $status = 1 ] || fail "a lock held too long gives exit status $status, not 1"
[ $((SECONDS - start)) -le 10 ] || fail "gave up only after $((SECONDS - start)) s"
grep -qF "still held by process $holder (perl)" "$work/out" ||
  fail "giving up does not name the holder: $(cat "$work/out")"
[ ! -s "$work/calls" ] || fail "apt-get was called while the lock was held: $(cat "$work/calls")"
kill "$holder"
wait "$holder" 2>/dev/null || true
holder="" HOLDER=""

# Another program takes the lock just before apt-get: tried again.
echo lhasa >"$work/missing"
echo locked >"$work/apt-answers"
run test
[ $status = 0 ] || fail "a lock taken first ends with $status: $(cat "$work/out")"
[ "$(sed 's/.* \(install\|update\).*/\1/' "$work/calls" | tr '\n' ' ')" = "install install " ] ||
  fail "not tried again: $(cat "$work/calls")"

# Package lists that lack a package: updated, then installed.
echo unzip >"$work/missing"
echo nolists >"$work/apt-answers"
run test
[ $status = 0 ] || fail "missing package lists end with $status: $(cat "$work/out")"
[ "$(sed 's/.* \(install\|update\).*/\1/' "$work/calls" | tr '\n' ' ')" = "install update install " ] ||
  fail "not install, update, install: $(cat "$work/calls")"

# apt-get failing for good: its message is shown and the status is 1.
echo cmake >"$work/missing"
printf 'broken\nbroken\nbroken\n' >"$work/apt-answers"
run build
[ $status = 1 ] || fail "a failing apt-get gives exit status $status"
grep -qF "dpkg returned an error code" "$work/out" || fail "apt-get's message is not shown"
: >"$work/apt-answers"

# The sanitizer runtime of the installed clang, when it is missing.
rm "$work/resource/lib/linux/libclang_rt.fuzzer-x86_64.a"
: >"$work/missing"
FAKE_CLANG=19 run test
[ $status = 0 ] && grep -q "install -y --no-install-recommends libclang-rt-19-dev$" "$work/calls" ||
  fail "clang 19 without its runtime did not get libclang-rt-19-dev: $(cat "$work/out" "$work/calls")"
run build
[ ! -s "$work/calls" ] || fail "the runtime was installed for a plain build"

# Without root: it names what is missing and how to install it.
echo 7zip >"$work/missing"
FAKE_UID=1000 run bench
[ $status = 1 ] && grep -qF "sudo apt-get install 7zip" "$work/out" ||
  fail "without root: status $status, $(cat "$work/out")"

run windows nonsense
[ $status = 2 ] || fail "an unknown group gives exit status $status, not 2"

# The windows group. The machine's apt sources: one-line entries, deb822
# stanzas with an inline key, a disabled stanza, a source marked trusted,
# and suites of other releases and vendors, none of which belong in the
# deb-src list of the release's own source packages.
mkdir -p "$work/etc/apt/sources.list.d"
echo VERSION_CODENAME=bookworm >"$work/etc/os-release"
cat >"$work/etc/apt/sources.list" <<'LIST'
# deb http://mirror.example/debian bookworm main
deb [arch=amd64 trusted=yes] http://mirror.example/debian bookworm main contrib
deb	http://mirror.example/debian  bookworm-updates main
deb http://mirror.example/debian bookworm-backports main
LIST
echo "deb https://vendor.example/apt cloud-sdk-bookworm main" >"$work/etc/apt/sources.list.d/vendor.list"
cat >"$work/etc/apt/sources.list.d/debian.sources" <<'LIST'
Types: deb
URIs: http://mirror.example/debian
Suites: bookworm bookworm-updates bookworm-backports
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: http://old.example/debian
Suites: bookworm
Components: main
Enabled: no

# Security updates.
Types: deb deb-src
URIs: http://security.example/debian-security
Suites: bookworm-security
Components: main
Trusted: yes
LIST
printf 'Types: deb\nURIs: https://vendor.example/node\nSuites: nodistro\nComponents: main\n' \
  >"$work/etc/apt/sources.list.d/node.sources"
sums() { find "$work/etc" -type f | sort | xargs sha256sum; }
before=$(sums)
echo "wine32:i386" >"$work/missing"
: >"$work/foreign"
run windows
[ $status = 1 ] && grep -qF "Hash Sum mismatch" "$work/out" ||
  fail "a download that fails its checks did not stop the build: $status, $(cat "$work/out")"
[ ! -e "$work/mingw/built" ] || fail "a failed build left a stamp"
[ "$(sums)" = "$before" ] || fail "the machine's apt sources were changed"
[ "$(grep -E "add-architecture|install .*wine32:i386" "$work/calls" | sed 's/ .*//')" = "dpkg
-o" ] || fail "i386 was not added before wine32 was installed: $(cat "$work/calls")"
grep -E "Dir::State::Lists=${TMPDIR:-/tmp}/" "$work/calls" | grep -q " update$" &&
  ! grep -qiE "unauthenticated=true|insecure.*=true|--allow-" "$work/calls" ||
  fail "apt was not given private package lists with every check: $(cat "$work/calls")"
[ "$(cat "$work/private.list")" = "deb-src [arch=amd64] http://mirror.example/debian bookworm main contrib
deb-src http://mirror.example/debian bookworm-updates main" ] ||
  fail "the one-line deb-src list: $(cat "$work/private.list")"
[ "$(ls "$work/private.parts")" = debian.sources ] ||
  fail "deb822 files with nothing of the release: $(ls "$work/private.parts")"
[ "$(cat "$work/private.parts/debian.sources")" = "Types: deb-src
Suites: bookworm bookworm-updates
URIs: http://mirror.example/debian
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb-src
Suites: bookworm-security
URIs: http://security.example/debian-security
Components: main" ] || fail "the deb822 deb-src list: $(cat "$work/private.parts/debian.sources")"

# A finished build's stamp: nothing is fetched.
for target in i686-w64-mingw32 x86_64-w64-mingw32; do
  mkdir -p "$work/mingw/$target/lib"
  touch "$work/mingw/$target/lib/"{libarchive,liblzma,libdeflate}.a
done
printf 'recipe %s\ntargets i686-w64-mingw32 x86_64-w64-mingw32\nlibdeflate 1.14-1\n' \
  "$(sed -n 's/^recipe=//p' "$(dirname "$script")/windows/mingw-deps.sh")" >"$work/mingw/built"
: >"$work/missing"
run windows
[ $status = 0 ] && [ ! -s "$work/calls" ] && grep -q "already built.*libdeflate 1.14-1" "$work/out" ||
  fail "a finished build was not taken: $status, $(cat "$work/out" "$work/calls")"
echo "ok: waits for the lock, gives up in time, retries, updates, installs clang's runtime," \
  "adds i386, derives the deb-src list, stops on a bad download, keeps a finished build"
