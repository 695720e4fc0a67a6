#!/usr/bin/env bash
# Build the fuzz preset (clang, libFuzzer, ASan + UBSan) and run every fuzz
# target for a bounded time on a scratch copy of its seed corpus. Any crash,
# hang, sanitizer report or mismatch fails the run; the input that caused it
# is kept under build/fuzz/artifacts/<target>/.
# Usage: fuzz/run.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

bin=build/fuzz/fuzz
work=build/fuzz/run
rm -rf "$work"
mkdir -p "$work"
failed=0
summary=()
for source in fuzz/fuzz_*.cpp; do
  target="$(basename "$source" .cpp)"
  corpus="$work/$target"
  artifacts="build/fuzz/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  cp fuzz/corpus/"$target"/* "$corpus"/
  log="$work/$target.log"
  status=0
  "$bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)"
  if [ "$status" -eq 0 ]; then
    summary+=("$target: ok, ${runs:-?} runs in ${seconds} s, ${cov:-cov: ?}")
  else
    failed=1
    summary+=("$target: FAILED (exit $status), log $log, inputs in $artifacts/")
    grep -E 'MISMATCH|ERROR|runtime error|SUMMARY' -A3 "$log" | head -20 || true
  fi
done
printf '%s\n' "${summary[@]}"
exit "$failed"
