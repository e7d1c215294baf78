#!/usr/bin/env bash
# The suite's own table of times, from the logs scripts/test kept of each
# preset's run: per test, and per board test its boots (the board's own lines),
# with the commit, the machine and whether the board cache was cold or warm.
# usage: suite_times.sh BUILD_DIR cold|warm SECONDS  (writes BUILD_DIR/suite-times.md)
set -eu
build=$1 cache_state=$2 seconds=$3
{
    echo "# The suite's times"
    echo
    echo "Commit $(git rev-parse --short HEAD 2>/dev/null || echo '(no git checkout)'), $(nproc) cores" \
        "($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)), board cache $cache_state:" \
        "$((seconds / 60)) min $((seconds % 60)) s in all."
    echo
    echo "| preset | test | result | seconds | boots | seconds a boot |"
    echo "|---|---|---|---|---|---|"
    for preset in host sanitize armhf; do
        [ -f "$build/$preset.log" ] || continue
        # "N: [board ...] the board powered off after Ns" lines, by test number;
        # "Start N: NAME" and "Test #N: NAME ... Passed X sec" name them.
        awk -v preset="$preset" '
            match($0, /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: [^ ]+ /) {
                split(substr($0, RSTART, RLENGTH), part, /#|: /)
                number = part[2] + 0; name[number] = part[3]; gsub(/ /, "", name[number])
                result[number] = ($0 ~ /Passed/) ? "passed" : "FAILED"
                n = split($0, word, " "); secs[number] = word[n - 1]; order[++count] = number
            }
            match($0, /^[0-9]+: \[board [0-9:]+\] the board powered off after [0-9]+s$/) {
                split($0, word, ":"); test = word[1] + 0
                boots[test]++; sub(/s$/, "", $NF); boot_seconds[test] = boot_seconds[test] " " $NF
            }
            END {
                for (i = 1; i <= count; i++) {
                    t = order[i]
                    each = boots[t] ? substr(boot_seconds[t], 2) : ""
                    printf "| %s | %s | %s | %s | %s | %s |\n", preset, name[t], result[t], secs[t], boots[t] + 0, each
                }
            }' "$build/$preset.log"
    done
} >"$build/suite-times.md"
cat "$build/suite-times.md"
