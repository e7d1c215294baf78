# Sourced by the board's tests: counts checks and closes with the tally, boots
# the board and reads what it reported. Its names and the tests' are shared:
# each sets what the other reads.
# shellcheck shell=bash disable=SC2034,SC2154
# shellcheck source=tests/setting.sh
. "$(dirname "${BASH_SOURCE[0]}")/setting.sh"
passed=0 failed=0
pcba_mac=02:1a:2b:3c:4d:5e qemu_mac=52:54:00:12:34:56
lookup_failed='Failed to obtain eth0 MAC address from the commissioning database'
present='The interfaces file already contains MAC setting; will not override'
skipped='The interfaces file already contains MAC setting; set_hwaddr not run'

# check NAME COMMAND...: COMMAND succeeds. A failure names $case too, when set.
check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL ${case:+$case: }$name"
    fi
}

# tally: the closing line, and the status of the whole test.
tally() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
}

# packages DEBS: the two packages a board gets, from the folder scripts/package
# filled (not their -dbgsym packages).
packages() { printf '%s\n' "$1"/set-hwaddr_*_armhf.deb "$1"/libboardcfg-standin_*_armhf.deb; }

# new_board [IMAGE-OPTION...]: a board in $work/board with the packages of
# $debs, reporting; then board_made.
new_board() {
    local debs_found
    mapfile -t debs_found < <(packages "$debs")
    "$board/image" --report "$@" "$work/board" "${debs_found[@]}" || exit 1
    board_made
}

# board_made: $tree names the tree of the board in $work/board; $work/original
# and $work/record keep its interfaces file and commissioning record.
board_made() {
    tree=$work/board/rootfs
    cp "$tree/etc/network/interfaces" "$work/original"
    cp "$tree/etc/boardcfg/commissioning" "$work/record"
}

# boot [--again] NAME: boots the board in $work/board (from fresh disks made of
# $tree unless --again) and reads its report into $work/NAME, with the boot's
# serial console as console; $report names it.
# After a failed check, show_log (the test's own) shows what the boot logged.
boot() {
    local again=0
    show_log
    [ "$1" = --again ] && { again=1; shift; }
    echo "== boot: $1"
    [ "$again" = 1 ] || "$board/disks" "$tree" "$work/board" || exit 1
    report=$work/$1/board-report case=$1 failed_before=$failed
    if ! { "$board/boot" "$work/board" && "$board/report" "$work/board" "$work/$1"; }; then
        check "boot" false
        return 1
    fi
    cp "$work/board/console.log" "$report/console"
}
# failed_since_boot: a check of this boot failed, and there is a report to show.
failed_since_boot() { [ "$failed" -gt "${failed_before:-0}" ] && [ -d "$report" ]; }

console_says() { grep -aqF "$1" "$report/console"; }
kernel_log_says() { grep -aqF "$1" "$report/dmesg"; }
# line_of TEXT: the number of the console's first line holding TEXT, or 0.
line_of() { grep -anF -m 1 "$1" "$report/console" | cut -d: -f1 | grep . || echo 0; }
eth0_mac() { awk '{ print $3 }' "$report/link"; }
nic_name() { awk '{ print $1 }' "$report/link"; }
# own_mac: the address the kernel gave the NIC: one it drew at random, when
# the NIC has none (it says so), else QEMU's.
own_mac() {
    cat "$report"/{dmesg,boot-journal-text} 2>/dev/null | grep -aom 1 'using random MAC address [0-9a-f:]*' |
        cut -d' ' -f5 | grep . || echo "$qemu_mac"
}
# eth0_up: ifup brought eth0 up (IFF_UP in its flags); the link itself may
# still be settling when the report is taken.
eth0_up() { (($(awk '{ print $4 }' "$report/link") & 1)); }
file_is() { cmp -s "$1" "$report/interfaces"; }
no_temporary_file() { ! grep -q '^setHwAddr\.' "$report/network-dir"; }
# inserted FILE: FILE as the tool rewrites it on the board.
inserted() { with_line "$1" "$pcba_mac"; }
# unbroken ORIGINAL: a board the tool must not break: the file stays, eth0
# comes up as it would have.
unbroken() {
    check "file untouched" file_is "$1"
    check "eth0 up" eth0_up
    check "eth0 keeps its own MAC" [ "$(eth0_mac)" = "$(own_mac)" ]
}
