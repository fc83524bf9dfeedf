#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while, each on a scratch copy of its seed corpus
# (fuzz/corpus/<target>, which stays as committed). Fails when any target finds a crash, a leak,
# undefined behaviour, a broken invariant or an input slower than the time-out; the input is
# kept in <build>/fuzz-findings/.
#   scripts/fuzz-smoke.sh [build dir, default build/fuzz] [seconds per target, default 30]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/fuzz}
seconds=${2:-30}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
found=0
for target in "$build"/fuzz/fuzz_*; do
  name=$(basename "$target")
  [[ -x $target && $name != fuzz_seed_generator ]] || continue
  found=1
  work=$scratch/$name
  mkdir -p "$work/corpus" "$work/artifacts"
  if [[ -d $root/fuzz/corpus/$name ]]; then
    cp -r "$root/fuzz/corpus/$name/." "$work/corpus/"
  fi
  if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    echo "$name: ok, ${runs:-?} runs in ${seconds} s, corpus $(ls "$work/corpus" | wc -l) inputs"
  else
    status=1
    echo "$name: FAILED" >&2
    tail -n 40 "$work/log" >&2
    mkdir -p "$build/fuzz-findings/$name"
    cp "$work/artifacts/"* "$build/fuzz-findings/$name/" 2>/dev/null || true
    echo "inputs kept in $build/fuzz-findings/$name" >&2
  fi
done
if [[ $found == 0 ]]; then
  echo "no fuzz targets in $build/fuzz" >&2
  exit 1
fi
exit $status
