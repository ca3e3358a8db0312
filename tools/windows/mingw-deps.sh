#!/bin/bash
# Builds, once per machine, the libraries the Windows archiver DLLs link, for
# both MinGW-w64 targets, from the Debian source packages of the release the
# machine runs: libarchive (reading LHA, ZIP and 7z, with zlib and liblzma;
# no crypto, XML, ACL or other formats' libraries), liblzma (xz-utils, the
# library alone) and libdeflate, each a static library. zlib is Debian's own
# libz-mingw-w64-dev. tools/install-deps.sh windows runs this once it has
# installed the compilers.
#
# Where: one prefix per target, $SLOTBACKUP_MINGW_DEPS/i686-w64-mingw32 and
# $SLOTBACKUP_MINGW_DEPS/x86_64-w64-mingw32, each with include/, lib/ and
# lib/pkgconfig/. SLOTBACKUP_MINGW_DEPS defaults to
# /usr/local/lib/slotbackup-mingw: outside every checkout, so each checkout
# and build folder on the machine shares one build. cmake/mingw-w64-*.cmake
# look in the same place (and read the same variable).
#
# Once: the file "built" in that folder names the recipe, the targets and the
# source package versions; when it is there and matches, nothing is fetched
# or built. Delete the stamp to build again (say, after a security update of
# one of the packages).
#
# Sources: the deb-src twins of the machine's own apt sources (one-line
# entries in /etc/apt/sources.list and sources.list.d/*.list, deb822 stanzas
# in sources.list.d/*.sources) whose suite is the release's own
# (<codename>, -updates, -security), written to a private list in a
# temporary folder and given to apt with -o options: the system's files and
# package lists stay as they are. apt checks the signed Sources index and the
# downloaded files' hashes, dpkg-source -x checks them against the .dsc, and
# any failure stops the build before anything is installed.
set -euo pipefail
export LC_ALL=C

recipe=1
targets="i686-w64-mingw32 x86_64-w64-mingw32"
packages="libarchive libdeflate xz-utils"
deps=${SLOTBACKUP_MINGW_DEPS:-/usr/local/lib/slotbackup-mingw}
etc=${INSTALL_DEPS_ETC:-/etc}  # tests read stand-in apt sources from here
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
jobs=${JOBS:-2}

# The stamp's first lines: what must match for a build to be reused.
wanted_stamp() { printf 'recipe %s\ntargets %s\n' "$recipe" "$targets"; }
libraries_present() {
  local target
  for target in $targets; do
    for library in libarchive.a liblzma.a libdeflate.a; do
      [ -f "$deps/$target/lib/$library" ] || return 1
    done
  done
}
if [ -f "$deps/built" ] && [ "$(head -n 2 "$deps/built")" = "$(wanted_stamp)" ] &&
  libraries_present; then
  echo "MinGW libraries already built in $deps:" $(tail -n +3 "$deps/built")
  exit 0
fi

say() { printf '== %s (%d s)\n' "$*" "$SECONDS"; }
mkdir -p "$deps" 2>/dev/null && [ -w "$deps" ] || {
  echo "mingw-deps.sh: cannot write to $deps (run as root, or set SLOTBACKUP_MINGW_DEPS)" >&2
  exit 1
}
work=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-mingw.XXXXXX")
trap 'rm -rf "$work"' EXIT
# apt downloads as the user _apt, which must reach the folders it writes.
chmod 755 "$work"

# --- The private source list -------------------------------------------------
codename=$(. "$etc/os-release" && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "mingw-deps.sh: no VERSION_CODENAME in $etc/os-release" >&2; exit 1; }
mkdir -p "$work/apt/parts" "$work/apt/lists/partial" "$work/download" "$work/src"
chmod 777 "$work/download"

# One-line entries: "deb [options] URI suite components..." becomes the same
# with deb-src. Options that would let apt accept an unsigned or weakly
# signed index are dropped; such a source then fails and stops the build.
one_line_sources() {
  awk -v codename="$codename" '
    function ours(suite) { return suite ~ ("^" codename "([-/](updates|security))?$") }
    /^[ \t]*deb(-src)?[ \t]/ {
      sub(/^[ \t]*deb(-src)?[ \t]+/, "")
      options = ""
      if ($0 ~ /^\[/) {
        options = substr($0, 2, index($0, "]") - 2)
        $0 = substr($0, index($0, "]") + 1)
        n = split(options, option, /[ \t]+/)
        options = ""
        for (i = 1; i <= n; ++i)
          if (option[i] != "" && option[i] !~ /^(trusted|allow-insecure|allow-weak|allow-downgrade-to-insecure)=/)
            options = options " " option[i]
        if (options != "") options = "[" substr(options, 2) "] "
      }
      if (NF < 3 || !ours($2)) next
      line = "deb-src " options $0
      gsub(/[ \t]+/, " ", line)
      if (!(line in seen)) { seen[line] = 1; print line }
    }' "$@"
}

# deb822 stanzas: Types becomes deb-src, Suites keeps the release's own,
# every other field (URIs, Components, Signed-By with an inline key) stays.
deb822_sources() {
  awk -v codename="$codename" '
    function ours(suite) { return suite ~ ("^" codename "([-/](updates|security))?$") }
    function flush(    i, n, list, suites, field) {
      if (count > 0 && enabled && (types ~ /(^| )deb( |$)/ || types ~ /deb-src/)) {
        n = split(suites_value, list, /[ \t]+/)
        suites = ""
        for (i = 1; i <= n; ++i) if (ours(list[i])) suites = suites " " list[i]
        if (suites != "") {
          print "Types: deb-src"
          print "Suites:" suites
          for (i = 1; i <= count; ++i) print kept[i]
          print ""
        }
      }
      count = 0; enabled = 1; types = suites_value = ""; skip = 0
    }
    BEGIN { enabled = 1 }
    /^[ \t]*$/ { flush(); next }
    /^#/ { next }
    /^[ \t]/ { if (!skip) kept[++count] = $0; next }
    {
      field = tolower(substr($0, 1, index($0, ":") - 1))
      value = substr($0, index($0, ":") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", value)
      skip = 0
      if (field == "types") { types = value; skip = 1 }
      else if (field == "suites") { suites_value = value; skip = 1 }
      else if (field == "enabled") { enabled = tolower(value) != "no"; skip = 1 }
      else if (field ~ /^(trusted|allow-insecure|allow-weak|allow-downgrade-to-insecure)$/) skip = 1
      if (!skip) kept[++count] = $0
    }
    END { flush() }' "$1"
}

lists=()
[ -f "$etc/apt/sources.list" ] && lists+=("$etc/apt/sources.list")
for file in "$etc"/apt/sources.list.d/*.list; do [ -f "$file" ] && lists+=("$file"); done
: >"$work/apt/sources.list"
[ ${#lists[@]} = 0 ] || one_line_sources "${lists[@]}" >"$work/apt/sources.list"
for file in "$etc"/apt/sources.list.d/*.sources; do
  [ -f "$file" ] || continue
  stanzas=$(deb822_sources "$file")
  [ -z "$stanzas" ] || echo "$stanzas" >"$work/apt/parts/$(basename "$file")"
done
if [ ! -s "$work/apt/sources.list" ] && [ -z "$(ls "$work/apt/parts")" ]; then
  echo "mingw-deps.sh: no apt source for Debian $codename in $etc/apt" >&2
  exit 1
fi

# apt with the private list and package lists, and with every check on
# whatever the system's configuration says.
private_apt() {
  local command=$1
  shift
  "$command" -o Dir::Etc::SourceList="$work/apt/sources.list" \
    -o Dir::Etc::SourceParts="$work/apt/parts" -o Dir::State::Lists="$work/apt/lists" \
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= \
    -o APT::Get::AllowUnauthenticated=false -o Acquire::AllowInsecureRepositories=false \
    -o Acquire::AllowWeakRepositories=false \
    -o Acquire::AllowDowngradeToInsecureRepositories=false "$@"
}

say "fetching the $codename source packages: $packages"
private_apt apt-get -q update >"$work/update.log" 2>&1 || {
  cat "$work/update.log" >&2
  echo "mingw-deps.sh: the $codename source indexes could not be fetched or verified" >&2
  exit 1
}
# apt-get update reports a bad signature as a warning and goes on with the
# old (here: no) index; the fetch below would then fail, but say why first.
if grep -E '^(W|E): .*(NO_PUBKEY|not signed|signature|Signature)' "$work/update.log" >&2; then
  echo "mingw-deps.sh: a source index failed its signature check" >&2
  exit 1
fi
(cd "$work/download" && private_apt apt-get -q source --download-only $packages) \
  >"$work/source.log" 2>&1 || {
  cat "$work/source.log" >&2
  echo "mingw-deps.sh: the source packages could not be fetched" >&2
  exit 1
}
declare -A version
for package in $packages; do
  dsc=$(ls "$work/download/${package}_"*.dsc)
  version[$package]=$(sed -n 's/^Version: //p' "$dsc")
  (cd "$work/src" && dpkg-source --require-strong-checksums -x "$dsc" "$package") \
    >>"$work/unpack.log" 2>&1 || {
    cat "$work/unpack.log" >&2
    echo "mingw-deps.sh: $(basename "$dsc") failed its checks" >&2
    exit 1
  }
done
versions=$(for package in $packages; do echo "$package ${version[$package]}"; done)
say "unpacked:" $versions

# --- The builds ---------------------------------------------------------------
# libarchive is configured with the project's own toolchain file, so it finds
# liblzma in the prefix and zlib as the project will. The stamp is written
# last: a build cut short is never taken for a whole one.
rm -f "$deps/built"
export SLOTBACKUP_MINGW_DEPS=$deps
for target in $targets; do
  prefix=$deps/$target
  build=$work/build-$target
  arch=${target%%-*}
  rm -rf "$prefix"
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$build"
  log=$build/build.log

  say "$target: liblzma"
  cp -a "$work/src/xz-utils" "$build/xz"
  (cd "$build/xz" &&
    ./configure --host="$target" --prefix="$prefix" CC="$target-gcc-posix" \
      --enable-static --disable-shared --enable-threads=vista --disable-xz --disable-xzdec \
      --disable-lzmadec --disable-lzmainfo --disable-lzma-links --disable-scripts \
      --disable-doc --disable-nls &&
    make -C src/liblzma -j"$jobs" && make -C src/liblzma install) >>"$log" 2>&1 ||
    { tail -n 40 "$log" >&2; echo "mingw-deps.sh: liblzma failed for $target" >&2; exit 1; }
  rm -f "$prefix"/lib/*.la

  say "$target: libdeflate"
  cp -a "$work/src/libdeflate" "$build/libdeflate"
  (cd "$build/libdeflate" &&
    make -j"$jobs" CC="$target-gcc-posix" AR="$target-ar" STATIC_LIB_SUFFIX=.a libdeflate.a) \
    >>"$log" 2>&1 ||
    { tail -n 40 "$log" >&2; echo "mingw-deps.sh: libdeflate failed for $target" >&2; exit 1; }
  install -m644 "$build/libdeflate/libdeflate.a" "$prefix/lib/"
  install -m644 "$build/libdeflate/libdeflate.h" "$prefix/include/"
  sed -e "s|@PREFIX@|$prefix|" -e "s|@LIBDIR@|$prefix/lib|" -e "s|@INCDIR@|$prefix/include|" \
    -e "s|@VERSION@|$(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[^"]*"\(.*\)"/\1/p' \
      "$build/libdeflate/libdeflate.h")|" \
    "$build/libdeflate/libdeflate.pc.in" >"$prefix/lib/pkgconfig/libdeflate.pc"

  say "$target: libarchive"
  # CMAKE_CROSSCOMPILING_EMULATOR: libarchive runs one test program, to ask
  # whether zlib was built with ZLIB_WINAPI (Debian's is not), and CMake 3.25
  # crashes on a check that runs a program in a cross build without an
  # emulator; one that always fails gives the right answer, no.
  options=(-DENABLE_ZLIB=ON -DENABLE_LZMA=ON -DPOSIX_REGEX_LIB=NONE
    -DCMAKE_CROSSCOMPILING_EMULATOR=false)
  for off in OPENSSL MBEDTLS NETTLE LIBB2 LZ4 LZO ZSTD BZip2 LIBXML2 EXPAT PCREPOSIX \
    LIBGCC CNG TAR CPIO CAT XATTR ACL ICONV TEST INSTALL; do
    options+=("-DENABLE_$off=OFF")
  done
  (cmake -S "$work/src/libarchive" -B "$build/libarchive" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DWINDOWS_VERSION=WIN7 "${options[@]}" &&
    cmake --build "$build/libarchive" --target archive_static -j"$jobs") >>"$log" 2>&1 ||
    { tail -n 40 "$log" >&2; echo "mingw-deps.sh: libarchive failed for $target" >&2; exit 1; }
  grep -q '^#define HAVE_LIBLZMA 1' "$build/libarchive/config.h" &&
    grep -q '^#define HAVE_ZLIB_H 1' "$build/libarchive/config.h" ||
    { echo "mingw-deps.sh: libarchive for $target was configured without liblzma or zlib" >&2; exit 1; }
  install -m644 "$build/libarchive/libarchive/libarchive_static.a" "$prefix/lib/libarchive.a"
  install -m644 "$work/src/libarchive/libarchive/archive.h" \
    "$work/src/libarchive/libarchive/archive_entry.h" "$prefix/include/"
  cat >"$prefix/lib/pkgconfig/libarchive.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libarchive
Description: multi-format archive library (static, with zlib and liblzma only)
Version: ${version[libarchive]%-*}
Cflags: -I\${includedir}
Libs: -L\${libdir} -larchive
Requires.private: liblzma
Libs.private: -lz
PC
done

{
  wanted_stamp
  echo "$versions"
} >"$deps/built"
say "built in $deps:" $versions
