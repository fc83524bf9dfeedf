#!/usr/bin/env bash
# A long run of one fuzz target, as the figures in docs/RELIABILITY.md are taken: from a copy of
# the committed corpus, until RUNS executions or SECONDS have passed, every line of libFuzzer's
# output stamped with the seconds since the start (so "when did coverage last grow" can be read
# off), then the grown corpus minimised into WORK/minimised. The committed corpus is left as it
# is; copy the minimised one over it by hand once the run is worth keeping.
#   scripts/fuzz-long.sh TARGET WORK [RUNS, default 10000000] [SECONDS, default 3600]
# Prints a summary line; exits 1 on a finding (the input is in WORK/artifacts).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?target name, e.g. fuzz_ini}
work=${2:?work directory}
runs=${3:-10000000}
seconds=${4:-3600}
binary=$root/build/fuzz/fuzz/$target
[[ -x $binary ]] || { echo "no $binary: build the fuzz preset first" >&2; exit 1; }

mkdir -p "$work/corpus" "$work/artifacts" "$work/minimised"
cp -r "$root/fuzz/corpus/$target/." "$work/corpus/"
seeds=$(ls "$work/corpus" | wc -l)

status=0
"$binary" -runs="$runs" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" 2>&1 |
  python3 -u -c '
import sys, time
start = time.monotonic()
for line in sys.stdin:
    sys.stdout.write("%8.1f %s" % (time.monotonic() - start, line))
' >"$work/log" || status=$?

"$binary" -merge=1 "$work/minimised" "$root/fuzz/corpus/$target" "$work/corpus" \
    >"$work/merge.log" 2>&1

# The first and last coverage lines, and the last line where the edge count grew.
python3 - "$work/log" "$target" "$seeds" "$(ls "$work/corpus" | wc -l)" \
    "$(ls "$work/minimised" | wc -l)" "$(du -sh "$work/minimised" | cut -f1)" <<'EOF'
import re, sys
log, target, seeds, grown, minimised, size = sys.argv[1:]
first = last = None
grew_at, edges = 0.0, None
execs = secs = None
for line in open(log, errors="replace"):
    m = re.match(r"\s*([\d.]+) #(\d+)\s+\w+\s+cov: (\d+) ft: (\d+)", line)
    if m:
        t, n, cov, ft = float(m[1]), int(m[2]), int(m[3]), int(m[4])
        if first is None:
            first = (cov, ft)
        if edges is not None and cov > edges:
            grew_at = t
        edges = cov
        last = (cov, ft)
        secs = t
    m = re.search(r"stat::number_of_executed_units: (\d+)", line)
    if m:
        execs = int(m[1])
print(f"{target}: {execs} executions in {secs} s; cov/ft {first} -> {last}; "
      f"edges last grew at {grew_at:.0f} s; corpus {seeds} -> {grown} -> {minimised} ({size})")
EOF
exit $status
