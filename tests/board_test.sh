#!/usr/bin/env bash
# The tool where it runs: the project's packages installed with apt on the
# virtual board (board/), booted under qemu-system-arm, each case checked from
# the report the board leaves on its root disk.
# usage: board_test.sh DEBS BOARD_DIR   (DEBS: the folder scripts/package filled)
set -u
debs=$1 board=$2
work=$(mktemp -d /var/tmp/board-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

# The board as the packages make it, with no option.
# shellcheck disable=SC2119
new_board

# After a failed check, what the boot's journal says of the units involved.
show_log() {
    failed_since_boot && [ -f "$report/boot-journal" ] || return 0
    echo "--- $case: the journal on the tool, ifupdown and /etc/network"
    grep -E 'set-hwaddr|ifup|networking|etc-network' "$report/boot-journal" | head -n 40
}
property() { sed -n "s/^$1 $2=//p" "$report/units"; }
journal_says() { grep -qF "$1" "$report/journal"; }
# The tool ran once in the boot: the unit alone, not the init script as well.
ran_once() { [ "$(grep -c "^PCBA MAC: " "$report/boot-journal-text")" = 1 ]; }
nothing_failed() { [ ! -s "$report/failed" ]; }
unit_failed() { grep -q '^set-hwaddr\.service ' "$report/failed"; }
unit_succeeded() { [ "$(property set-hwaddr.service Result)" = success ]; }
# The tool ended before ifupdown started: networking.service, and udev's
# ifup@eth0.service where it ran.
ran_before_ifupdown() {
    local done_at unit started
    done_at=$(property set-hwaddr.service ExecMainExitTimestampMonotonic)
    [ "${done_at:-0}" -gt 0 ] || return 1
    for unit in networking.service ifup@eth0.service; do
        started=$(property $unit ExecMainStartTimestampMonotonic)
        [ "${started:-0}" = 0 ] || [ "$done_at" -lt "$started" ] || return 1
    done
}

# run_time: the unit's start, sandbox included, to the tool's end, in ms.
run_time() {
    echo "$((($(property set-hwaddr.service ExecMainExitTimestampMonotonic) -
        $(property set-hwaddr.service InactiveExitTimestampMonotonic)) / 1000)) ms"
}

# The unit's exposure as the package installs it, scored offline here, and the
# same live on the board. exposure FILE: the figure and its word, without the
# face, which depends on the locale.
exposure() { sed -n 's/.*: \([0-9.]* [A-Z]*\).*/\1/p' "$1"; }
dpkg-deb --fsys-tarfile "$(packages "$debs" | head -n 1)" |
    tar -xO ./lib/systemd/system/set-hwaddr.service >"$work/set-hwaddr.service"
systemd-analyze security --offline=true --no-pager "$work/set-hwaddr.service" 2>&1 | tail -n 1 \
    >"$work/offline-security"
check "exposure at most 1.0, offline" grep -qE 'level for set-hwaddr.service: (0\.[0-9]|1\.0) SAFE' \
    "$work/offline-security"

# The first boot, and a second one from the disk it left.
inserted "$work/original" >"$work/inserted"
if boot first; then
    check "unit succeeded" unit_succeeded
    check "the tool ran once" ran_once
    check "unit ran before ifupdown" ran_before_ifupdown
    check "eth0 up" eth0_up
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "the one line inserted" file_is "$work/inserted"
    check "no temporary file" no_temporary_file
    check "no failed unit" nothing_failed
    check "sandbox as scored offline" [ "$(exposure "$report/security")" = "$(exposure "$work/offline-security")" ]
    echo "the unit from start to end: $(run_time)"
fi
if boot --again second; then
    check "unit reported the setting" journal_says "$present"
    check "file as after the first boot" file_is "$work/inserted"
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "no failed unit" nothing_failed
fi

# ifupdown's hotplug path, started by udev, must find the line in place too.
# udev's helper reads the interfaces file when eth0 appears, which may be before
# a disk of its own is mounted at /etc/network: this boot keeps it on the root.
cp "$tree/etc/fstab" "$work/fstab"
sed -i '\| /etc/network |d' "$tree/etc/fstab"
sed 's/^auto eth0$/allow-hotplug eth0/' "$work/original" >"$tree/etc/network/interfaces"
inserted "$tree/etc/network/interfaces" >"$work/hotplug-inserted"
if boot hotplug; then
    check "unit succeeded" unit_succeeded
    check "eth0 brought up by udev" [ "$(property ifup@eth0.service ExecMainStartTimestampMonotonic)" -gt 0 ]
    check "unit ran before ifupdown" ran_before_ifupdown
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "the one line inserted" file_is "$work/hotplug-inserted"
    check "no failed unit" nothing_failed
fi
cp "$work/original" "$tree/etc/network/interfaces"
cp "$work/fstab" "$tree/etc/fstab"

# Boards the tool must not break.
echo 'serial=SN-0000001' >"$tree/etc/boardcfg/commissioning"
if boot no-address; then
    unbroken "$work/original"
    check "unit failed" unit_failed
    check "lookup's message in the journal" journal_says "$lookup_failed"
fi
cp "$work/record" "$tree/etc/boardcfg/commissioning"

# A board library that hangs (the stand-in's record a FIFO no one writes):
# the unit's time limit ends the tool, and the boot goes on without it.
rm "$tree/etc/boardcfg/commissioning"
mkfifo "$tree/etc/boardcfg/commissioning"
if boot hung-library; then
    unbroken "$work/original"
    check "no temporary file" no_temporary_file
    check "unit ended by its time limit" [ "$(property set-hwaddr.service Result)" = timeout ]
    check "the journal says so" journal_says "start operation timed out"
fi
rm "$tree/etc/boardcfg/commissioning"
cp "$work/record" "$tree/etc/boardcfg/commissioning"

# The sandbox bites: a probe in the tool's place, under the same unit.
dropin=$tree/etc/systemd/system/set-hwaddr.service.d
mkdir -p "$dropin"
install -m 755 "$board/sandbox-probe" "$tree/usr/local/sbin/sandbox-probe"
printf '[Service]\nExecStart=\nExecStart=/usr/local/sbin/sandbox-probe\n' >"$dropin/probe.conf"
if boot sandbox; then
    for refused in "write /etc" "write /var" "inet socket" "read a disk"; do
        check "$refused refused" journal_says "$refused refused"
    done
    for allowed in "write /etc/network" "read the record" "sync"; do
        check "$allowed allowed" journal_says "$allowed allowed"
    done
fi
rm -r "$dropin" "$tree/usr/local/sbin/sandbox-probe"

chroot "$tree" dpkg --remove --force-depends net-tools >/dev/null 2>&1
if boot no-ifconfig; then
    unbroken "$work/original"
    # systemd does not count a failed assertion as a failed unit: the tool
    # never ran, and the journal says why.
    check "unit stopped by its assertion" [ "$(property set-hwaddr.service AssertResult)" = no ]
    check "tool never ran" [ "$(property set-hwaddr.service ExecMainStartTimestampMonotonic)" = 0 ]
    check "assertion in the journal" journal_says "Assertion failed for set-hwaddr.service"
fi

show_log
tally
