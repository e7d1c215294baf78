#!/usr/bin/env bash
# The tool at boot on one kind of virtual board, through the one list of cases
# at the end. Each case says what it sets up and what it expects; each kind
# says how its board is made and how it reports (the journal, the console, the
# kernel's log). Every check reads the report the board leaves on its root
# disk, or its serial console.
# usage: board_test.sh KIND DEBS BOARD_DIR SOURCE_DIR [RELEASE [MACHINE]]
#   KIND: systemd or sysvinit (Debian RELEASE, bookworm by default or trixie,
#   the packages of DEBS, built for it, installed with apt), or busybox (as
#   Buildroot and Yocto build theirs: busybox init, ifup and ifconfig, the
#   project from SOURCE_DIR's release tarball by plain CMake and cmake
#   --install); MACHINE, what it boots on (board/machines), virt by default
# The kinds' functions are defined by the kind chosen, and the cases' called by
# their names from the case list, which shellcheck cannot follow:
# shellcheck disable=SC2317
set -u
kind=$1 debs=$2 board=$3 source=$4 release=${5:-bookworm} machine=${6:-virt}
work=$(mktemp -d "/var/tmp/board-test-$kind-$release.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
no_ifconfig='/sbin/ifconfig is missing, so set_hwaddr did not run'
timed_out='set_hwaddr did not finish within 30s and was stopped'
has_address() { grep -q " inet $1 " "$report/addresses"; }
tool_lines() { grep -ac "^PCBA MAC: " "$1"; }
# before_in_console TEXT: the tool printed its address once, before TEXT.
before_in_console() {
    local tool later
    tool=$(line_of "PCBA MAC: ") later=$(line_of "$1")
    [ "$tool" -gt 0 ] && [ "$later" -gt 0 ] && [ "$tool" -lt "$later" ] &&
        [ "$(tool_lines "$report/console")" = 1 ]
}

# ---- The kinds. Each defines: make_board; address, eth0's IPv4 address from
# its stanza; said TEXT, the tool or what runs it logged TEXT; said_present, a
# later boot said the setting is in place; before_network,
# the tool ran once and ended before ifupdown began; never_ran; said_why_not
# (no /sbin/ifconfig); time_limit_ended; remove_ifconfig; first_more and
# failed_more, what it shows besides on the first boot and on a failed run;
# hotplug_expect; show_log, what a failed check shows.
debian_board() {
    "$@"
    # An /etc/network of its own on the Debian boards: the netconf disk.
    own_disk() { grep -q "^[^ ]* /etc/network ext4 " "$report/mounts"; }
    address=192.0.2.10/24
    remove_ifconfig() { chroot "$tree" dpkg --remove --force-depends net-tools >/dev/null 2>&1; }
}
console_board() {
    said() { console_says "$1"; }
    said_present() { said "$present"; }
    never_ran() { [ "$(line_of "PCBA MAC: ")" = 0 ]; }
    said_why_not() { console_says "$no_ifconfig"; }
    time_limit_ended() { console_says "$timed_out"; }
    show_log() {
        failed_since_boot && [ -f "$report/console" ] || return 0
        echo "--- $case: the end of the boot's console"
        tail -n 40 "$report/console"
    }
}

systemd_kind() {
    make_board() {
        # The sandbox case's probes ride along the first boot: the unit as
        # installed with the probe in the tool's place, and once more with a
        # drop-in that resets every sandbox setting.
        new_board --release "$release" --machine "$machine"
        local unit=$tree/$unit_path etc=$tree/etc/systemd/system
        install -m 755 "$board/sandbox-probe" "$tree/usr/local/sbin/sandbox-probe"
        for tag in sandboxed bare; do
            sed -e "s|^ExecStart=.*|ExecStart=/usr/local/sbin/sandbox-probe $tag|" -e '/^ExecCondition=/d' \
                -e 's/^Before=/Before=board-report.service /' -e 's/^After=/After=set-hwaddr.service /' \
                "$unit" >"$etc/probe-$tag.service"
            ln -s "../probe-$tag.service" "$etc/multi-user.target.wants/"
        done
        mkdir "$etc/probe-bare.service.d"
        sed -n '/^ProtectSystem=/,/^UMask=/p' "$unit" | sed -E \
            -e 's/^(ProtectSystem|ProtectHome|Private[A-Za-z]*|Protect[A-Za-z]*|Restrict(Namespaces|Realtime|SUIDSGID)|LockPersonality|MemoryDenyWriteExecute|RemoveIPC|NoNewPrivileges)=.*/\1=no/' \
            -e 's/^ProtectProc=.*/ProtectProc=default/' -e 's/^ProcSubset=.*/ProcSubset=all/' \
            -e 's/^UMask=.*/UMask=0022/' -e 's/^(Read[A-Za-z]*Paths|RestrictAddressFamilies|IPAddressDeny|SystemCall[A-Za-z]*)=.*/\1=/' \
            -e '/^CapabilityBoundingSet=/d' | sort -u | sed '1i [Service]' >"$etc/probe-bare.service.d/reset.conf"
    }
    property() { sed -n "s/^$1 $2=//p" "$report/units"; }
    said() { grep -qF "$1" "$report/journal"; }
    # Later boots: the unit's condition skips it, and says why.
    said_present() { [ "$(property set-hwaddr.service Result)" = exec-condition ] && said "$skipped"; }
    # The tool's end came before networking.service's start, and udev's
    # ifup@eth0.service's where it ran.
    before_network() {
        local done_at unit started
        [ "$(tool_lines "$report/boot-journal-text")" = 1 ] || return 1
        done_at=$(property set-hwaddr.service ExecMainExitTimestampMonotonic)
        [ "${done_at:-0}" -gt 0 ] || return 1
        for unit in networking.service ifup@eth0.service; do
            started=$(property "$unit" ExecMainStartTimestampMonotonic)
            [ "${started:-0}" = 0 ] || [ "$done_at" -lt "$started" ] || return 1
        done
    }
    never_ran() { [ "$(property set-hwaddr.service ExecMainStartTimestampMonotonic)" = 0 ]; }
    # systemd does not count a failed assertion as a failed unit.
    said_why_not() {
        [ "$(property set-hwaddr.service AssertResult)" = no ] &&
            grep -qF "Assertion failed for set-hwaddr.service" "$report/journal"
    }
    time_limit_ended() {
        [ "$(property set-hwaddr.service Result)" = timeout ] && said "start operation timed out"
    }
    nothing_failed() { [ ! -s "$report/failed" ]; }
    first_more() {
        check "unit succeeded" [ "$(property set-hwaddr.service Result)" = success ]
        check "no failed unit" nothing_failed
        check "sandbox as scored offline" [ "$(exposure "$report/security")" = "$(exposure "$work/offline-security")" ]
        echo "the unit from start to end: $((($(property set-hwaddr.service ExecMainExitTimestampMonotonic) -
            $(property set-hwaddr.service InactiveExitTimestampMonotonic)) / 1000)) ms"
    }
    failed_more() { check "unit failed" grep -q '^set-hwaddr\.service ' "$report/failed"; }
    hotplug_expect() {
        check "eth0 brought up by udev" [ "$(property ifup@eth0.service ExecMainStartTimestampMonotonic)" -gt 0 ]
        check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
        check "no failed unit" nothing_failed
    }
    show_log() {
        failed_since_boot && [ -f "$report/boot-journal" ] || return 0
        echo "--- $case: the journal on the tool, ifupdown and /etc/network"
        grep -E 'set-hwaddr|ifup|networking|etc-network' "$report/boot-journal" | head -n 40
    }
    # The unit's exposure as the package installs it, scored offline here. The
    # figure and its word, without the face, which depends on the locale.
    exposure() { sed -n 's/.*: \([0-9.]* [A-Z]*\).*/\1/p' "$1"; }
    # Where the release's systemd keeps units: /lib on bookworm, /usr/lib on trixie.
    local deb
    deb=$(packages "$debs" | head -n 1)
    unit_path=$(dpkg-deb -c "$deb" | grep -o '\./\(usr/\)\{0,1\}lib/systemd/system/set-hwaddr\.service$')
    dpkg-deb --fsys-tarfile "$deb" | tar -xO "$unit_path" >"$work/set-hwaddr.service"
    unit_path=${unit_path#./}
    systemd-analyze security --offline=true --no-pager "$work/set-hwaddr.service" 2>&1 | tail -n 1 \
        >"$work/offline-security"
    check "exposure at most 1.0, offline" grep -qE 'level for set-hwaddr.service: (0\.[0-9]|1\.0) SAFE' \
        "$work/offline-security"
}

sysvinit_kind() {
    console_board
    make_board() { new_board --init sysvinit --release "$release" --machine "$machine"; }
    before_network() { before_in_console "Configuring network interfaces"; }
    status_is() { [ "$(tail -n 1 "$report/status")" = "exit $1" ]; }
    first_more() {
        check "status: the setting is in place" status_is 0
        check "the tool's line in the kernel log" kernel_log_says "set-hwaddr: PCBA MAC: $pcba_mac"
    }
    failed_more() { check "status: no setting" status_is 3; }
    # udev's helper runs ifup for eth0 as soon as udev starts, before any
    # script that could write /etc/network: eth0 comes up with its own
    # address, and the line takes effect from the next boot. That boot is
    # this board's second: a file that carries the setting, left alone.
    hotplug_expect() {
        check "eth0 up, before the line was in place" [ "$(eth0_mac)" = "$(own_mac)" ]
        boot --again hotplug-second || return
        check "the setting reported" said "$present"
        check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
        check "file as after the first boot" file_is "$work/hotplug-inserted"
    }
}

busybox_kind() {
    console_board
    export BOOT_TIMEOUT=120
    address=10.0.2.15/24  # the lease of QEMU's DHCP server
    # Built from the release tarball, as the image builders' packages build it.
    make_board() {
        local tarball
        tarball=$("$source/scripts/release" "$work/release") || exit 1
        tar -C "$work/release" -xzf "$tarball"
        "$board/busybox-image" --report "$work/board" "${tarball%.tar.gz}" "$machine" || exit 1
        board_made
    }
    before_network() { before_in_console "Starting network: "; }
    first_more() { check "the tool's line in the kernel log" kernel_log_says "set-hwaddr: PCBA MAC: $pcba_mac"; }
    failed_more() { :; }
    remove_ifconfig() { rm "$tree/sbin/ifconfig"; }
}

case $kind in
systemd) debian_board systemd_kind ;;
sysvinit) debian_board sysvinit_kind ;;
busybox) busybox_kind ;;
*) echo "board_test.sh: no board kind $kind" >&2; exit 2 ;;
esac

# ---- The cases: each sets up the board, boots it or reads an earlier boot,
# checks, and puts the board back as it found it.
case_first() {
    inserted "$work/original" >"$work/inserted"
    boot first || return
    check "ran once, before the network" before_network
    check "eth0 up" eth0_up
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    check "eth0 has its address" has_address "$address"
    check "the one line inserted" file_is "$work/inserted"
    check "no temporary file" no_temporary_file
    first_more
}
# Read from the first boot, whose disk /etc/network was.
case_own_disk() {
    use_report first || return
    check "/etc/network was the netconf disk" own_disk
    check "the line inserted there" file_is "$work/inserted"
}
case_sandbox() {
    use_report first || return
    local line
    for line in "write /etc" "write /var" "inet socket" "read a disk" "write /sys"; do
        check "sandboxed: $line refused" grep -qxF "sandboxed: $line refused" "$report/boot-journal-text"
    done
    for line in "write /etc/network" "read the record" "sync"; do
        check "sandboxed: $line allowed" grep -qxF "sandboxed: $line allowed" "$report/boot-journal-text"
    done
    # Without the sandbox, every line is allowed: each try can tell.
    check "bare: every line allowed" [ "$(grep -c '^bare: .* allowed$' "$report/boot-journal-text")" = 8 ]
    # Later cases' boots go without the probes: one would hang on a FIFO record.
    rm -r "$tree"/etc/systemd/system/probe-* "$tree"/etc/systemd/system/multi-user.target.wants/probe-*
}
case_second() {
    boot --again second || return
    check "the setting reported" said_present
    check "file as after the first boot" file_is "$work/inserted"
    check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
    # What the tool is for: a NIC whose address the kernel draws anew each boot.
    [ "$(own_mac)" = "$qemu_mac" ] ||
        check "the kernel drew another address" [ "$(own_mac)" != "$(report=$work/first/board-report own_mac)" ]
}
# ifupdown's hotplug path, started by udev. udev's helper may read the file
# before a disk of its own is mounted at /etc/network: it stays on the root.
case_hotplug() {
    cp "$tree/etc/fstab" "$work/fstab"
    sed -i '\| /etc/network |d' "$tree/etc/fstab"
    sed 's/^auto eth0$/allow-hotplug eth0/' "$work/original" >"$tree/etc/network/interfaces"
    inserted "$tree/etc/network/interfaces" >"$work/hotplug-inserted"
    if boot hotplug; then
        check "ran once, before the network" before_network
        check "the one line inserted" file_is "$work/hotplug-inserted"
        hotplug_expect
    fi
    cp "$work/original" "$tree/etc/network/interfaces"
    cp "$work/fstab" "$tree/etc/fstab"
}
case_static() {
    printf 'auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet static\n    address 192.0.2.10\n    netmask 255.255.255.0\n' \
        >"$tree/etc/network/interfaces"
    inserted "$tree/etc/network/interfaces" >"$work/static-inserted"
    if boot static; then
        check "the one line inserted" file_is "$work/static-inserted"
        check "eth0 carries the PCBA MAC" [ "$(eth0_mac)" = "$pcba_mac" ]
        check "eth0 has its static address" has_address 192.0.2.10/24
    fi
    cp "$work/original" "$tree/etc/network/interfaces"
}
case_no_address() {
    echo 'serial=SN-0000001' >"$tree/etc/boardcfg/commissioning"
    if boot no-address; then
        unbroken "$work/original"
        check "eth0 has its address" has_address "$address"
        check "the lookup's message logged" said "$lookup_failed"
        failed_more
    fi
    cp "$work/record" "$tree/etc/boardcfg/commissioning"
}
# The stand-in's record a FIFO no one writes: the time limit ends the tool,
# and the boot goes on without it. The board idles through that wait, so its
# boot takes no core's place from the other tests' (board/boot).
case_hung_library() {
    rm "$tree/etc/boardcfg/commissioning"
    mkfifo "$tree/etc/boardcfg/commissioning"
    if BOOT_SLOTS=0 boot hung-library; then
        unbroken "$work/original"
        check "no temporary file" no_temporary_file
        check "the time limit ended the tool, and said so" time_limit_ended
    fi
    rm "$tree/etc/boardcfg/commissioning"
    cp "$work/record" "$tree/etc/boardcfg/commissioning"
}
# Naming as Debian leaves it: no .link file, so udev names the NIC end0, and
# the file as Debian's installer writes it, on the root (hotplug's helper
# reads it). The tool fails, and says why.
case_end0() {
    local link=$tree/etc/systemd/network/10-kernel-eth-name.link
    mv "$link" "$work/link"
    cp "$tree/etc/fstab" "$work/fstab"
    sed -i '\| /etc/network |d' "$tree/etc/fstab"
    printf 'auto lo\niface lo inet loopback\n\nallow-hotplug end0\niface end0 inet static\n    address %s\n' \
        "$address" >"$tree/etc/network/interfaces"
    cp "$tree/etc/network/interfaces" "$work/end0-interfaces"
    if boot end0; then
        check "file untouched" file_is "$work/end0-interfaces"
        check "why, logged" said "Did not find eth0 definition in the interfaces file"
        failed_more
        check "the NIC named end0" [ "$(nic_name)" = end0 ]
        check "end0 up" eth0_up
        check "end0 has its address" has_address "$address"
        check "end0 keeps an address of its own" [ "$(eth0_mac)" != "$pcba_mac" ]
    fi
    mv "$work/link" "$link"
    cp "$work/original" "$tree/etc/network/interfaces"
    cp "$work/fstab" "$tree/etc/fstab"
}
# Last: the board keeps no ifconfig afterwards.
case_no_ifconfig() {
    remove_ifconfig
    boot no-ifconfig || return
    unbroken "$work/original"
    check "eth0 has its address" has_address "$address"
    check "the tool never ran" never_ran
    check "why, logged" said_why_not
}

# use_report NAME: the checks that follow read the boot NAME's report.
use_report() {
    show_log
    case=$1 report=$work/$1/board-report failed_before=$failed
    [ -d "$report" ]
}

make_board
while read -r name kinds; do
    [ -n "$name" ] || continue
    if [[ " $kinds " != *" $kind "* && " $kinds " != *" $release-$kind "* ]]; then
        echo "== $name: not a case for $release $kind boards"
        continue
    fi
    "case_${name//-/_}"
done <<CASES
first         systemd sysvinit busybox
own-disk      systemd sysvinit
sandbox       systemd
second        systemd busybox
hotplug       systemd sysvinit
static        busybox
no-address    systemd sysvinit busybox
hung-library  systemd sysvinit busybox
end0          bookworm-systemd
no-ifconfig   systemd sysvinit busybox
CASES
show_log
tally
