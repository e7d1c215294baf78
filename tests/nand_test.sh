#!/usr/bin/env bash
# Power cuts on raw NAND: on the virtual board, /etc/network is UBIFS over UBI
# over nandsim, and board/guest-nand cuts the power through UBI's emulation (a
# sweep over every header write of each run) and UBIFS's (at random moments),
# judging after each cut what the next boot would find. The tool must leave
# no bad state; the same campaign must catch an unsafe writer: the tool with
# its flush made a no-op and a pause before its sync.
# usage: nand_test.sh DEBS BOARD_DIR FAULT_SHIM
# NAND_ROUNDS, NAND_UBIFS_SECONDS and NAND_SEED size and seed it: by default a
# bounded sample, one round and 30 s; with POWERCUT_SWEEP=full (scripts/powercuts)
# three rounds and 90 s.
set -u
debs=$1 board=$2 shim=$3
rounds=1 ubifs_seconds=30
[ "${POWERCUT_SWEEP:-}" = full ] && rounds=3 ubifs_seconds=90
rounds=${NAND_ROUNDS:-$rounds} ubifs_seconds=${NAND_UBIFS_SECONDS:-$ubifs_seconds} seed=${NAND_SEED:-$RANDOM}
work=$(mktemp -d /var/tmp/nand-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
out=$work/board tree=$work/board/rootfs

mapfile -t debs_found < <(packages "$debs")
"$board/image" "$out" "${debs_found[@]}" || exit 1
share=$tree/usr/local/share/board-nand
mkdir -p "$share"
cp "$tree/etc/network/interfaces" "$share/old"
inserted "$share/old" >"$share/new"
install -m 755 "$board/guest-nand" "$tree/usr/local/sbin/board-nand"
install -D -m 644 "$board/verdict" "$tree/usr/local/lib/verdict"
install -m 644 "$board/board-nand.service" "$tree/etc/systemd/system/"
ln -s ../board-nand.service "$tree/etc/systemd/system/multi-user.target.wants/"
install -D -m 644 "$shim" "$tree/usr/local/lib/fault_shim.so"
# The unsafe writer's pause outlasts UBIFS's write-buffer timer (3 to 5 s), which
# puts the rename on flash while the data waits for the sync.
printf 'ROUNDS=%s\nUBIFS_SECONDS=%s\nSEED=%s\nUNSAFE_DELAY=6\n' "$rounds" "$ubifs_seconds" "$seed" \
    >"$tree/etc/board-nand.conf"
echo "== NAND campaign: for the tool $rounds rounds of UBI's cut points per header kind and ${ubifs_seconds}s of UBIFS's cuts; the unsafe writer until caught; seed $seed"
# Its boot takes no place among the boards': the campaign waits on its pauses
# and timers most of the time.
if ! { "$board/disks" "$tree" "$out" &&
    BOOT_SLOTS=0 BOOT_TIMEOUT=${BOOT_TIMEOUT:-$((600 + rounds * 60 + 5 * ubifs_seconds + 120))} "$board/boot" "$out" &&
    "$board/report" "$out" "$work"; }; then
    check "campaign boot" false
    tally
    exit
fi
report=$work/board-report
cuts=$report/cuts

# count WRITER EMULATION PHASE [STATE-REGEX]: how many cuts of the campaign's.
count() { grep -cE "^$1 $2 [^ ]+ [^ ]+ $3 ${4:-}" "$cuts"; }
summary() {
    local writer=$1 emulation
    for emulation in ubi-1 ubi-2 ubifs; do
        echo "$writer $emulation: $(count "$writer" "$emulation" writer) cuts in the run," \
            "$(count "$writer" "$emulation" '(spend|setup)') before it, $(count "$writer" "$emulation" after) after it," \
            "$(count "$writer" "$emulation" none) with no cut; $(count "$writer" "$emulation" '[a-z]+' bad) bad," \
            "$(count "$writer" "$emulation" '[a-z]+' '[a-z]+\+temp') with a leftover temporary file"
    done
}
campaign_ran() { [ -s "$cuts" ] && ! grep -q '^setup failed' "$cuts"; }
check "the campaign ran" campaign_ran
summary tool
summary unsafe
echo "campaign: $(cat "$report/time" 2>/dev/null)"
grep ' bad' "$cuts" | sed 's/^/bad: /'

check "tool: no bad state" [ "$(count tool '[^ ]+' '[a-z]+' bad)" = 0 ]
for mask in 1 2; do
    # Each round ends when k passes the run's last header write: every cut point swept.
    check "tool: every round of ubi-$mask swept to its end" [ "$(count tool ubi-$mask none)" = "$rounds" ]
    check "tool: ubi-$mask cuts in the run" [ "$(count tool ubi-$mask writer)" -gt 0 ]
done
# UBIFS draws its own moment, up to a minute away: the sample's 30 s may see
# none come, the full sweep's 90 s must.
[ "${POWERCUT_SWEEP:-}" != full ] ||
    check "tool: a UBIFS cut came" [ "$(count tool ubifs '(writer|setup|after)')" -gt 0 ]
# A temporary file left by the cut stays: the tool removes only its own.
check "tool: the next boot ends with the new file" \
    [ "$(grep -c 'next-boot=' "$cuts")" = "$(grep -cE 'next-boot=0:new(\+temp)?$' "$cuts")" ]
check "unsafe writer caught" [ "$(count unsafe '[^ ]+' '[a-z]+' bad)" -gt 0 ]
if [ "$failed" -gt 0 ]; then
    echo "--- the campaign's cuts, and the end of its log"
    cat "$cuts"
    tail -n 60 "$report/log"
fi
tally
