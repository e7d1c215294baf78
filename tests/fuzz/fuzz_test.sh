#!/usr/bin/env bash
# A bounded, seeded libFuzzer run of FUZZER from the seed corpus SEEDS (left as
# it is: what the run finds goes to a scratch folder), for SECONDS; with 0,
# the seeds are only replayed. A crash is kept as OUT/crash-*, and
# "FUZZER OUT/crash-..." reproduces it.
# usage: fuzz_test.sh FUZZER SEEDS SECONDS OUT
set -u
fuzzer=$1 seeds=$2 seconds=$3 out=$4
mkdir -p "$out"
if [ "$seconds" = 0 ]; then
    "$fuzzer" -runs=0 "$seeds" 2>"$out/replay.log" || { tail -n 30 "$out/replay.log"; exit 1; }
    echo "$(find "$seeds" -type f | wc -l) seeds replayed"
    exit 0
fi
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
status=0
# Room for every size the rewrite meets: it refuses files of 10240 bytes or more.
"$fuzzer" -seed=1 -max_len=10300 -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/" \
    "$found" "$seeds" 2>"$out/run.log" || status=$?
grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE' "$out/run.log"
if [ "$status" != 0 ]; then
    grep -A 30 -E '^==[0-9]+==|broken:' "$out/run.log" | head -n 40
    crashes=("$out"/crash-*)
    echo "reproduce with: $fuzzer ${crashes[0]}"
fi
exit "$status"
