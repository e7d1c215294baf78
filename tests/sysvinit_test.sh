#!/usr/bin/env bash
# The tool at boot on a board without systemd: the project's packages installed
# with apt on the sysvinit virtual board, booted under qemu-system-arm, each case
# checked from the report the board leaves on its root disk and from the boot's
# serial console.
# usage: sysvinit_test.sh DEBS BOARD_DIR   (DEBS: the folder scripts/package filled)
set -u
debs=$1 board=$2
work=$(mktemp -d /var/tmp/sysvinit-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
no_ifconfig='/sbin/ifconfig is missing, so set_hwaddr did not run'
timed_out='set_hwaddr did not finish within 30s and was stopped'

new_board --init sysvinit

show_log() {
    failed_since_boot && [ -f "$report/console" ] || return 0
    echo "--- $case: the end of the boot's console"
    tail -n 40 "$report/console"
}
# The tool printed its address once, before networking began to bring the
# interfaces up.
ran_before_networking() {
    local tool networking
    tool=$(line_of "PCBA MAC: ") networking=$(line_of "Configuring network interfaces")
    [ "$tool" -gt 0 ] && [ "$networking" -gt 0 ] && [ "$tool" -lt "$networking" ] &&
        [ "$(grep -ac "^PCBA MAC: " "$report/console")" = 1 ]
}
status_is() { [ "$(tail -n 1 "$report/status")" = "exit $1" ]; }

inserted "$work/original" >"$work/inserted"
if boot first; then
    check "init script ran once, before networking" ran_before_networking
    check "eth0 up" eth0_up
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "the one line inserted" file_is "$work/inserted"
    check "no temporary file" no_temporary_file
    check "status: the setting is in place" status_is 0
    check "the tool's line in the kernel log" kernel_log_says "set-hwaddr: PCBA MAC: $pcba_mac"
fi
if boot --again second; then
    check "the setting reported" console_says "$present"
    check "file as after the first boot" file_is "$work/inserted"
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
fi

# ifupdown's hotplug path: udev's helper runs ifup for eth0 as soon as udev
# starts, while the root file system is still read-only and before any script
# that could write /etc/network: on the first boot eth0 comes up with its own
# address, and the line takes effect from the next boot. As on the systemd
# board, /etc/network stays on the root disk for these boots.
cp "$tree/etc/fstab" "$work/fstab"
sed -i '\| /etc/network |d' "$tree/etc/fstab"
sed 's/^auto eth0$/allow-hotplug eth0/' "$work/original" >"$tree/etc/network/interfaces"
inserted "$tree/etc/network/interfaces" >"$work/hotplug-inserted"
if boot hotplug; then
    check "init script ran once, before networking" ran_before_networking
    check "the one line inserted" file_is "$work/hotplug-inserted"
    check "eth0 up, before the line was in place" [ "$(eth0_mac)" = "$qemu_mac" ]
fi
if boot --again hotplug-second; then
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "file as after the first boot" file_is "$work/hotplug-inserted"
fi
cp "$work/original" "$tree/etc/network/interfaces"
cp "$work/fstab" "$tree/etc/fstab"

# Boards the tool must not break.
echo 'serial=SN-0000001' >"$tree/etc/boardcfg/commissioning"
if boot no-address; then
    unbroken "$work/original"
    check "lookup's message on the console" console_says "$lookup_failed"
    check "status: no setting" status_is 3
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

chroot "$tree" dpkg --remove --force-depends net-tools >/dev/null 2>&1
if boot no-ifconfig; then
    unbroken "$work/original"
    check "the script said why" console_says "$no_ifconfig"
    check "tool never ran" [ "$(line_of "PCBA MAC: ")" = 0 ]
fi

show_log
tally
