#!/usr/bin/env bash
# Runs cpgblocks on the bundled example: 12 samples x 400 CpG sites of
# chromosome 7, with a site selection file. Builds the tool first when needed.
#
#   example/run.sh            results in example/out/
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
bin="$root/build/release/cpgblocks"

if [ ! -x "$bin" ]; then
  echo "Building cpgblocks (release) ..."
  (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target cpgblocks >/dev/null)
fi

# The tool never creates folders: make a fresh output tree for chromosome 7.
out="$here/out"
rm -rf "$out"
mkdir -p "$out/chr7"

cd "$here/data"
status=0
"$bin" cov/ samples.txt yes sel/chrom "$out/" 0.5 0.3 2 7 > "$out/stdout.txt" || status=$?

echo "cpgblocks finished with exit status $status."
if [ "$status" -ne 0 ]; then
  cat "$out/stdout.txt"
  exit "$status"
fi
echo "  block table:            $out/blockInfoChr7.csv ($(($(wc -l < "$out/blockInfoChr7.csv") - 1)) blocks)"
echo "  per-sample block means: $out/chr7/<sample>.csv (12 files)"
echo "  progress and messages:  $out/stdout.txt"
echo
echo "First blocks:"
head -n 6 "$out/blockInfoChr7.csv"
