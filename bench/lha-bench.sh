#!/bin/bash
# lha-bench.sh - the LHA library (lh5, lh7) beside jlha on the benchmark corpus.
#
#   usage: lha-bench.sh BUILD_DIR [CORPUS_DIR]
#
# Without CORPUS_DIR the corpus is built (once) next to the build folder by
# ../shared/bench/make-corpus.sh. Needs jlha-utils (java) for the comparison.
set -euo pipefail
BUILD=$(realpath "$1")
CORPUS=${2:-$BUILD/bench-corpus}
HERE=$(dirname "$(realpath "$0")")
if [ ! -d "$CORPUS" ]; then
  "$HERE/../../shared/bench/make-corpus.sh" "$CORPUS"
fi
CORPUS=$(realpath "$CORPUS")
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT

"$BUILD/bin/lha_bench" "$CORPUS" "$OUT"

JAR=/usr/share/java/jlhafrontend.jar
if [ ! -f "$JAR" ]; then
  echo "jlha: not installed (apt-get install jlha-utils)"
  exit 0
fi
BYTES=$(find "$CORPUS" -type f -printf '%s\n' | awk '{s+=$1} END{print s}')
for m in 5 7; do
  rm -f "$OUT/jlha.lzh"
  # jlha stores paths relative to where it runs: pack the corpus by its name.
  ( cd "$(dirname "$CORPUS")" && /usr/bin/time -f '%e %U %S %M' -o "$OUT/time" \
      java -Dlha.encoding=Windows-31J -jar "$JAR" c2o${m}q "$OUT/jlha.lzh" "$(basename "$CORPUS")" )
  read -r wall user sys rss < "$OUT/time"
  size=$(stat -c %s "$OUT/jlha.lzh")
  awk -v m="$m" -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss" -v z="$size" -v b="$BYTES" 'BEGIN {
    printf "jlha lh%s wall %6.2f s %6.1f MB/s  cpu %6.2f s %6.1f MB/s  ratio %.4f  peak %5.1f MiB\n",
      m, w, b / w / 1e6, u + s, b / (u + s) / 1e6, z / b, r / 1024 }'
done
