#!/bin/bash
# A second benchmark corpus, of real files this project does not make: the
# files of a fixed list of Debian packages (interpreter libraries, Perl
# modules, locale sources, C and C++ headers, shared libraries with their
# machine code, fonts, Java archives, time zone data), as `dpkg-deb -x`
# unpacks them; links are left out (the writers differ in how they store
# links, which says nothing about compression), and a file shipped under
# several names is kept once.
#
#   bench/real-corpus.sh <folder>
#
# Prints the packages with the versions fetched and a digest of the corpus
# (names and contents): the versions follow the Debian release's updates, so
# figures compare only where the digest is the same. A folder already built
# from the same versions is kept.
set -euo pipefail
folder=${1:?usage: real-corpus.sh <folder>}
packages=(perl-modules-5.36 libpython3.11-stdlib locales linux-libc-dev libstdc++-12-dev
  libicu72 fonts-dejavu-core ant libxerces2-java libgl1-mesa-dri tzdata)

versions=()
for package in "${packages[@]}"; do
  version=$(apt-cache policy "$package" | sed -n 's/^ *Candidate: //p')
  if [[ -z $version || $version == "(none)" ]]; then
    echo "real-corpus.sh: the package $package is not known to apt here" >&2
    exit 1
  fi
  versions+=("$package=$version")
done
wanted=$(printf '%s\n' "${versions[@]}")

if [[ ! -f $folder/.versions || $(cat "$folder/.versions") != "$wanted" ]]; then
  rm -rf "$folder"
  mkdir -p "$folder/debs" "$folder/files"
  (cd "$folder/debs" && apt-get download -q "${versions[@]}" > /dev/null)
  for deb in "$folder"/debs/*.deb; do
    dpkg-deb -x "$deb" "$folder/files"
  done
  rm -rf "$folder/debs"
  find "$folder/files" -type l -delete
  # A file that packages ship under several names (hard links) once.
  find "$folder/files" -type f -links +1 -printf '%i %p\n' | LC_ALL=C sort |
    awk 'seen[$1]++ { sub(/^[0-9]+ /, ""); print }' | xargs -r -d '\n' rm
  printf '%s\n' "$wanted" > "$folder/.versions"
fi

digest=$(cd "$folder/files" && find . -type f -print0 | LC_ALL=C sort -z |
  xargs -0 sha256sum | sha256sum | cut -c1-16)
read -r files bytes < <(find "$folder/files" -type f -printf '%s\n' |
  awk '{n++; s+=$1} END {print n, s}')
echo "real files: $files files, $bytes bytes, digest $digest, from:"
printf '  %s\n' "${versions[@]}"
