#!/usr/bin/env bash
# Whole-program benchmarks next to cat of the same input, and the kernel
# micro-benchmarks.
#
#   bench/run.sh <io|cor|wide|kernels|all> [rounds]     (rounds: default 5)
#
# Builds what is missing or out of date: cpgblocks with the release preset,
# plain_cpgblocks and cpgblocks_bench with the bench preset (CPGBLOCKS_BUILD=dir
# uses one build directory of your own for all three instead). Generates each
# workload's data once into bench/data/<name>/ (again when the generator
# changes), checks that cpgblocks and plain_cpgblocks write the same bytes,
# then times cat, cpgblocks and, for cor, plain_cpgblocks, interleaved round
# by round. CPGBLOCKS_THREADS is passed through to cpgblocks.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
what="${1:-}"
rounds="${2:-5}"
case "$what" in
  io | cor | wide | kernels | all) ;;
  *)
    echo "usage: bench/run.sh <io|cor|wide|kernels|all> [rounds]"
    exit 2
    ;;
esac
if ! [[ "$rounds" =~ ^[1-9][0-9]*$ ]]; then
  echo "rounds must be a positive number"
  exit 2
fi

# Build output goes to a log, shown when the build fails.
quiet() {
  local log
  log="$(mktemp)"
  if ! "$@" >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

build() {
  if [ -n "${CPGBLOCKS_BUILD:-}" ]; then
    local dir="$CPGBLOCKS_BUILD"
    [ -f "$dir/CMakeCache.txt" ] || quiet cmake -S "$root" -B "$dir" -DCPGBLOCKS_BENCH=ON -DCPGBLOCKS_TESTS=OFF \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-ffp-contract=off
    quiet cmake --build "$dir" -j2 --target cpgblocks plain_cpgblocks cpgblocks_bench
    fast="$dir/cpgblocks"
    bench_dir="$dir/bench"
  else
    cd "$root"
    [ -f build/release/CMakeCache.txt ] || quiet cmake --preset release
    quiet cmake --build --preset release --target cpgblocks
    [ -f build/bench/CMakeCache.txt ] || quiet cmake --preset bench
    quiet cmake --build --preset bench --target plain_cpgblocks cpgblocks_bench
    fast="$root/build/release/cpgblocks"
    bench_dir="$root/build/bench/bench"
  fi
  plain="$bench_dir/plain_cpgblocks"
  kernels="$bench_dir/cpgblocks_bench"
}

data_for() {
  local name="$1" dir="$here/data/$1"
  local stamp
  stamp="$(cksum <"$here/gen_bench_data.py")"
  if [ ! -f "$dir/.generator" ] || [ "$(cat "$dir/.generator")" != "$stamp" ]; then
    echo "generating the $name data set into bench/data/$name/ ..."
    python3 "$here/gen_bench_data.py" "$name" "$dir"
    echo "$stamp" >"$dir/.generator"
  fi
}

workload() {
  data_for "$1"
  python3 "$here/time_runs.py" "$1" "$here/data/$1" "$rounds" "$fast" "$plain"
  echo
}

run_kernels() {
  echo "== kernels (Google Benchmark)"
  "$kernels"
  echo
}

build
case "$what" in
  all)
    for w in io cor wide; do workload "$w"; done
    run_kernels
    ;;
  kernels) run_kernels ;;
  *) workload "$what" ;;
esac
