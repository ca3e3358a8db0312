#!/bin/bash
# lha-bench.sh - the LHA library in detail: lh5 and lh7 with compression and
# read-back time apart (lha_bench), then ours beside jlha (archiver_bench).
#
#   usage: lha-bench.sh BUILD_DIR [CORPUS_DIR]
#
# Without CORPUS_DIR the corpus is BUILD_DIR/bench-corpus, built by
# make_corpus when missing. BENCH_RUNS sets the runs of each archiver
# (default 1). jlha needs jlha-utils (tools/install-deps.sh bench).
set -euo pipefail
BUILD=$(realpath "$1")
CORPUS=${2:-$BUILD/bench-corpus}
"$BUILD/bin/make_corpus" "$CORPUS"
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
"$BUILD/bin/lha_bench" "$CORPUS" "$OUT"
echo
"$BUILD/bin/archiver_bench" "$CORPUS" "$OUT" --runs "${BENCH_RUNS:-1}" lha
