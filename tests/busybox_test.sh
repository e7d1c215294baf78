#!/usr/bin/env bash
# The tool on a board built as Buildroot or Yocto build theirs: busybox init,
# ifup and ifconfig, the project from plain CMake and cmake --install, its init
# script as S39set-hwaddr before S40network's ifup -a. Each case is checked from
# the report the board leaves on its root disk and from its serial console.
# usage: busybox_test.sh SOURCE_DIR BOARD_DIR
set -u
source=$1 board=$2
work=$(mktemp -d /var/tmp/busybox-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
no_ifconfig='/sbin/ifconfig is missing, so set_hwaddr did not run'
timed_out='set_hwaddr did not finish within 30s and was stopped'
lease=10.0.2.15/24
export BOOT_TIMEOUT=120

"$board/busybox-image" --report "$work/board" "$source" || exit 1
board_made

show_log() {
    failed_since_boot && [ -f "$report/console" ] || return 0
    echo "--- $case: the end of the boot's console"
    tail -n 30 "$report/console"
}
# The tool printed its address once, before ifup -a began.
ran_before_ifup() {
    local tool network
    tool=$(line_of "PCBA MAC: ") network=$(line_of "Starting network: ")
    [ "$tool" -gt 0 ] && [ "$network" -gt 0 ] && [ "$tool" -lt "$network" ] &&
        [ "$(grep -ac "^PCBA MAC: " "$report/console")" = 1 ]
}
has_address() { grep -q " inet $1 " "$report/addresses"; }

inserted "$work/original" >"$work/inserted"
if boot dhcp; then
    check "the tool ran once, before ifup" ran_before_ifup
    check "the one line inserted, above nfs_check" file_is "$work/inserted"
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "eth0 got its lease" has_address "$lease"
    check "no temporary file" no_temporary_file
    check "the tool's line in the kernel log" kernel_log_says "set-hwaddr: PCBA MAC: $pcba_mac"
fi
if boot --again second; then
    check "the setting reported" console_says "$present"
    check "file as after the first boot" file_is "$work/inserted"
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
fi

cat >"$tree/etc/network/interfaces" <<IFACES
auto lo
iface lo inet loopback

auto eth0
iface eth0 inet static
    address 192.0.2.10
    netmask 255.255.255.0
IFACES
inserted "$tree/etc/network/interfaces" >"$work/static-inserted"
if boot static; then
    check "the one line inserted" file_is "$work/static-inserted"
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "eth0 has its static address" has_address 192.0.2.10/24
fi
cp "$work/original" "$tree/etc/network/interfaces"

# Boards the tool must not break.
echo 'serial=SN-0000001' >"$tree/etc/boardcfg/commissioning"
if boot no-address; then
    unbroken "$work/original"
    check "lookup's message on the console" console_says "$lookup_failed"
    check "eth0 got its lease" has_address "$lease"
fi
cp "$work/record" "$tree/etc/boardcfg/commissioning"

# A board library that hangs (the stand-in's record a FIFO no one writes):
# the script's time limit ends the tool, and the boot goes on without it.
rm "$tree/etc/boardcfg/commissioning"
mkfifo "$tree/etc/boardcfg/commissioning"
if boot hung-library; then
    unbroken "$work/original"
    check "no temporary file" no_temporary_file
    check "the script said it stopped the tool" console_says "$timed_out"
fi
rm "$tree/etc/boardcfg/commissioning"
cp "$work/record" "$tree/etc/boardcfg/commissioning"

rm "$tree/sbin/ifconfig"
if boot no-ifconfig; then
    unbroken "$work/original"
    check "the script said why" console_says "$no_ifconfig"
    check "tool never ran" [ "$(line_of "PCBA MAC: ")" = 0 ]
    check "eth0 got its lease" has_address "$lease"
fi

show_log
tally
