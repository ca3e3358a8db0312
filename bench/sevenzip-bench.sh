#!/bin/sh
# Builds the benchmark corpus when it is missing, then runs sevenzip_bench.
#   bench/sevenzip-bench.sh <build folder> [corpus folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: sevenzip-bench.sh <build folder> [corpus folder]}
corpus=${2:-${TMPDIR:-/tmp}/bench-corpus}
if [ ! -d "$corpus" ]; then
  sh "$here/../../shared/bench/make-corpus.sh" "$corpus"
fi
exec "$build/bin/sevenzip_bench" "$corpus"
