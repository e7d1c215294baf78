#!/usr/bin/env bash
# Power cuts on the virtual board: the boot on which the tool inserts its line
# is recorded write by write on the netconf disk (/etc/network, ext4, mounted
# noauto_da_alloc,commit=1); every state that disk could be left in by a power
# cut must hold the old interfaces file or the new one. The same campaign must
# catch an unsafe writer: the tool with its flush made a no-op, and a pause
# before its sync. Then the board boots from a crash state with a leftover
# temporary file; with POWERCUT_SWEEP=full (scripts/powercuts) also from one
# with the old file and one with the new.
# usage: powercut_test.sh DEBS BOARD_DIR FAULT_SHIM [SUBSETS [SEED]]
set -u
debs=$1 board=$2 shim=$3 subsets=${4:-32} seed=${5:-$RANDOM}
work=$(mktemp -d /var/tmp/powercut-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
pcba_mac=02:1a:2b:3c:4d:5e
out=$work/board tree=$work/board/rootfs

mapfile -t debs_found < <(packages "$debs")
"$board/image" --report "$out" "${debs_found[@]}" || exit 1
cp "$tree/etc/network/interfaces" "$work/old"
inserted "$work/old" >"$work/new"

# campaign NAME: boots fresh disks with the netconf disk's writes logged, then
# judges every crash state; $work/NAME.verdicts has one line per state.
campaign() {
    echo "== $1: logged boot"
    if ! { "$board/disks" "$tree" "$out" && cp "$out/netconf.img" "$work/$1.base" &&
        "$board/boot" --log "$work/$1.log" "$out"; }; then
        check "$1: logged boot" false
        return 1
    fi
    "$board/replay" --final "$work/$1.base" "$work/$1.log" "$work/final.img"
    check "$1: the log replays to the disk the board left" cmp -s "$work/final.img" "$out/netconf.img"
    "$board/replay" "$work/$1.base" "$work/$1.log" "$work/state.img" \
        "$board/check-state $work/old $work/new" "$subsets" "$seed" >"$work/$1.verdicts" 2>"$work/$1.counts"
    echo "$1: $(cat "$work/$1.counts"); $(wc -l <"$work/$1.verdicts") crash states checked," \
        "$(grep -c ' bad' "$work/$1.verdicts") bad, $(grep -c '+temp' "$work/$1.verdicts") with a leftover temporary file"
    grep ' bad' "$work/$1.verdicts" | cut -d' ' -f2 | sort | uniq -c | sed "s/^ */$1: /"
}

if campaign tool; then
    check "tool: no bad crash state" [ "$(grep -c ' bad' "$work/tool.verdicts")" = 0 ]
    check "tool: the new file reached the disk" grep -q ' new$' "$work/tool.verdicts"

    # The board boots from a crash state with a leftover temporary file; in
    # the full sweep also from one with the old file and one with the new.
    temp=$(grep '+temp$' "$work/tool.verdicts" | head -n 1 | cut -d' ' -f1)
    states=("$temp")
    if [ "${POWERCUT_SWEEP:-}" = full ]; then
        states+=("$(grep '^prefix-[0-9]* old$' "$work/tool.verdicts" | tail -n 1 | cut -d' ' -f1)")
        states+=("$(grep '^prefix-[0-9]* new$' "$work/tool.verdicts" | head -n 1 | cut -d' ' -f1)")
    fi
    for state in "${states[@]}"; do
        [ -n "$state" ] || { check "a crash state of each kind" false; continue; }
        echo "== boot from crash state $state ($(grep "^$state " "$work/tool.verdicts" | cut -d' ' -f2))"
        if ! { "$board/replay" --state "$state" "$work/tool.base" "$work/tool.log" "$out/netconf.img" \
            "$subsets" "$seed" && "$board/boot" "$out" && "$board/report" "$out" "$work/$state"; }; then
            check "boot from $state" false
            continue
        fi
        check "$state: the file is the new one" cmp -s "$work/new" "$work/$state/board-report/interfaces"
        check "$state: eth0 carries the PCBA MAC" grep -q " $pcba_mac " "$work/$state/board-report/link"
    done
fi

# The unsafe writer: the tool run by its unit, with the shim of the tests.
install -D -m 644 "$shim" "$tree/usr/local/lib/fault_shim.so"
mkdir -p "$tree/etc/systemd/system/set-hwaddr.service.d"
cat >"$tree/etc/systemd/system/set-hwaddr.service.d/unsafe.conf" <<'CONF'
[Service]
Environment=LD_PRELOAD=/usr/local/lib/fault_shim.so "FAULT=fsync 0 skip" SYNC_DELAY=3
CONF
if campaign unsafe; then
    check "unsafe writer: bad crash states found" [ "$(grep -c ' bad' "$work/unsafe.verdicts")" -gt 0 ]
fi

tally
