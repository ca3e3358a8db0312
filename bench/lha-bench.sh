#!/bin/bash
# lha-bench.sh - the LHA library (lh5, lh7) beside jlha on the benchmark corpus.
#
#   usage: lha-bench.sh BUILD_DIR [CORPUS_DIR [RUNS]]
#
# Without CORPUS_DIR the corpus is BUILD_DIR/bench-corpus, built by
# make_corpus when missing. jlha comes with jlha-utils (tools/install-deps.sh
# bench).
set -euo pipefail
BUILD=$(realpath "$1")
CORPUS=${2:-$BUILD/bench-corpus}
"$BUILD/bin/make_corpus" "$CORPUS"
exec "$BUILD/bin/lha_bench" "$CORPUS" "${3:-3}"
