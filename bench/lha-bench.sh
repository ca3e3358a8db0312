#!/bin/bash
# lha-bench.sh - the LHA library (lh5, lh7) beside jlha on the benchmark corpus.
#
#   usage: lha-bench.sh BUILD_DIR [CORPUS_DIR [RUNS]]
#
# Without CORPUS_DIR the corpus is built (once) next to the build folder by
# ../shared/bench/make-corpus.sh. jlha comes with jlha-utils (and java).
set -euo pipefail
BUILD=$(realpath "$1")
CORPUS=${2:-$BUILD/bench-corpus}
HERE=$(dirname "$(realpath "$0")")
if [ ! -d "$CORPUS" ]; then
  "$HERE/../../shared/bench/make-corpus.sh" "$CORPUS"
fi
exec "$BUILD/bin/lha_bench" "$CORPUS" "${3:-3}"
