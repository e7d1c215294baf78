#!/usr/bin/env bash
# The tool's runs through the real executable and the stand-in library, each in a
# sandbox of its own: exit status, both output streams, and /etc/network after;
# and the boot unit's condition, CHECK, on the same files.
# usage: run_test.sh TOOL SANDBOX FAULT_SHIM CHECK
# EMULATOR, when set, is the command that runs TOOL (the board build under qemu).
set -u
tool=$1 sandbox=$2 shim=$3 check=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0 n=0

mac=02:11:22:33:44:55
record="pcba_mac=$mac\n"
found="PCBA MAC: $mac\n"
# shellcheck source=tests/setting.sh
. "$(dirname "$0")/setting.sh"
line="$setting_prefix$mac\n"
sample='auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet dhcp\n'

lookup_failed='Failed to obtain eth0 MAC address from the commissioning database\n'
open_failed='Failed to open the interfaces file\n'
read_failed='Failed to read from the interfaces file\n'
too_long='File too long\n'
present='The interfaces file already contains MAC setting; will not override\n'
no_eth0='Did not find eth0 definition in the interfaces file\n'
no_line_end='Did not find the end of line - this might be a bug\n'
create_failed='Failed to create temporary file\n'
skipped='The interfaces file already contains MAC setting; set_hwaddr not run\n'

# new_case INTERFACES: a fresh folder to stand in for /etc/network, holding an
# interfaces file of INTERFACES (printf %b escapes); $net names it.
new_case() {
    n=$((n + 1))
    case=$work/$n net=$work/$n/net
    mkdir -p "$net"
    printf '%b' "$1" >"$net/interfaces"
    cp -P "$net/interfaces" "$case/before"
}

# run_tool RECORD [ARG...]: the tool (or $program) on the current case, with the
# commissioning record RECORD ('-': none). FAULT, TRACE and SANDBOX_READ_ONLY,
# when set, pass through; FAULT and TRACE preload the shim.
run_tool() {
    [ "$1" = - ] || printf '%b' "$1" >"$case/record"
    shift
    local launcher
    read -ra launcher <<<"${EMULATOR:-}"
    if [ -n "${FAULT:-}${TRACE:-}" ] && [ -n "${EMULATOR:-}" ]; then
        launcher+=(-E "LD_PRELOAD=$shim")  # qemu itself must not preload it
    elif [ -n "${FAULT:-}${TRACE:-}" ]; then
        launcher=(env "LD_PRELOAD=$shim")
    fi
    if [ -n "${ONE_PIPE:-}" ]; then
        # Both streams on one pipe, as under the journal: the lines land in out.
        BOARDCFG_RECORD=$case/record "$sandbox" "$net" "${launcher[@]}" "${program:-$tool}" "$@" 2>&1 |
            cat >"$case/out"
        echo "${PIPESTATUS[0]}" >"$case/status"
        : >"$case/err"
        return
    fi
    BOARDCFG_RECORD=$case/record "$sandbox" "$net" "${launcher[@]}" "${program:-$tool}" "$@" \
        >"$case/out" 2>"$case/err"
    echo $? >"$case/status"
}

verdict() {
    if [ -z "$2" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $1: $2"
    fi
}

# expect NAME STATUS STDOUT STDERR AFTER: the last run's outcome byte for byte,
# AFTER the interfaces file ('=': as before the run), and no temporary file left.
expect() {
    local fault='' after=$case/expected
    [ "$5" = = ] && after=$case/before || printf '%b' "$5" >"$after"
    if [ "$(cat "$case/status")" != "$2" ]; then
        fault="status $(cat "$case/status"), not $2"
    elif ! printf '%b' "$3" | cmp -s - "$case/out"; then
        fault="standard output: $(cat -A "$case/out")"
    elif ! printf '%b' "$4" | cmp -s - "$case/err"; then
        fault="standard error: $(cat -A "$case/err")"
    elif ! cmp -s "$after" "$net/interfaces"; then
        fault="interfaces file: $(cat -A "$net/interfaces")"
    elif [ -n "$(find "$net" -maxdepth 1 -name 'setHwAddr.*')" ]; then
        fault="temporary file left: $(ls "$net")"
    fi
    verdict "$1" "$fault"
}

# expect_that NAME COMMAND...: COMMAND succeeds.
expect_that() {
    local name=$1
    shift
    if "$@"; then verdict "$name" ""; else verdict "$name" "not true: $*"; fi
}

# The lookup as the run sees it: a refused address is a failed lookup and leaves
# the interfaces file alone.
while IFS='|' read -r name record_text shown; do
    new_case "$sample"
    run_tool "$record_text"
    if [ -n "$shown" ]; then
        expect "$name" 0 "PCBA MAC: $shown\n" "" "$sample$setting_prefix$shown\n"
    else
        expect "$name" 1 "" "$lookup_failed" =
    fi
done <<TABLE
address found|$record|$mac
bare address kept as delivered|# factory\nserial=42\npcba_mac=0A1B2C3D4E5F\n|0A1B2C3D4E5F
first pcba_mac line wins|${record}pcba_mac=02:00:00:00:00:01\n|$mac
no record|-|
no pcba_mac line|serial=42\n#pcba_mac=$mac\n|
empty address|pcba_mac=\n|
record with CR LF lines|pcba_mac=$mac\r\n|
shell text after the address|pcba_mac=$mac; reboot\n|
multicast address|pcba_mac=01:00:5e:00:00:01\n|
field without terminator|pcba_mac=$mac$(printf 'x%.0s' {1..200})\n|
TABLE

# Arguments are ignored.
new_case "$sample"
run_tool "$record" --help -v eth1
expect "arguments ignored" 0 "$found" "" "$sample$line"
new_case "$sample"
run_tool - --help
expect "arguments ignored on failure" 1 "" "$lookup_failed" =

# condition NAME SKIPS: the unit's condition on the current case's file, before
# the tool: it skips the tool (SKIPS 1) only where the tool finds the setting.
condition() {
    program=$check run_tool -
    if [ "$2" = 1 ]; then expect "$1: condition" 1 "$skipped" "" =; else expect "$1: condition" 0 "" "" =; fi
}

# The rewrite, by the interfaces file it meets. The condition skips where the
# tool finds the setting, but not where it finds a stanza's own hwaddress.
while IFS='|' read -r name interfaces status err after; do
    new_case "$interfaces"
    condition "$name" "$([ "$err" = "$present" ] && [[ $interfaces != *hwaddress* ]] && echo 1)"
    run_tool "$record"
    expect "$name" "$status" "$found" "$err" "$after"
done <<TABLE
head and tail kept|auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet static\n    address 10.0.0.2\n\niface eth1 inet dhcp\n|0||auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet static\n$line    address 10.0.0.2\n\niface eth1 inet dhcp\n
definition is the last line|auto eth0\niface eth0 inet dhcp\n|0||auto eth0\niface eth0 inet dhcp\n$line
definition without line end|auto eth0\niface eth0 inet dhcp|1|$no_line_end|=
comment naming the definition skipped|# iface eth0 comes below\niface eth0 inet dhcp\n|0||# iface eth0 comes below\niface eth0 inet dhcp\n$line
other interfaces named eth0...|iface eth0.1 inet manual\niface eth0:1 inet manual\niface eth01 inet manual\niface eth0 inet dhcp\n|0||iface eth0.1 inet manual\niface eth0:1 inet manual\niface eth01 inet manual\niface eth0 inet dhcp\n$line
definition indented, a tab between its words|auto eth0\n  iface\teth0 inet dhcp\n|0||auto eth0\n  iface\teth0 inet dhcp\n$line
definition of eth0 alone, CR LF|iface eth0\r\n|0||iface eth0\r\n$line
definition only in a comment|# iface eth0 inet dhcp\n|1|$no_eth0|=
setting in another stanza|iface eth1 inet dhcp\n  pre-up /sbin/ifconfig eth0 hw ether 02:00:00:00:00:09\niface eth0 inet dhcp\n|0|$present|=
setting in a comment|# pre-up /sbin/ifconfig eth0 hw ether \niface eth0 inet dhcp\n|0|$present|=
setting without a definition|pre-up /sbin/ifconfig eth0 hw ether x\n|0|$present|=
setting for eth1 does not count|iface eth0 inet dhcp\npre-up /sbin/ifconfig eth1 hw ether $mac\n|0||iface eth0 inet dhcp\n${line}pre-up /sbin/ifconfig eth1 hw ether $mac\n
tab after ether does not count|iface eth0 inet dhcp\npre-up /sbin/ifconfig eth0 hw ether\t$mac\n|0||iface eth0 inet dhcp\n${line}pre-up /sbin/ifconfig eth0 hw ether\t$mac\n
only auto and hotplug lines|auto eth0\nallow-hotplug eth0\n|1|$no_eth0|=
CR LF line ends kept|auto eth0\r\niface eth0 inet dhcp\r\n  address 10.0.0.2\r\n|0||auto eth0\r\niface eth0 inet dhcp\r\n$line  address 10.0.0.2\r\n
NUL before the definition|auto lo\n\0iface eth0 inet dhcp\n|1|$no_eth0|=
NUL before the line end|iface eth0\0 inet dhcp\n|1|$no_line_end|=
NUL in the tail kept|iface eth0 inet dhcp\nx\0y\n|0||iface eth0 inet dhcp\n${line}x\0y\n
empty file||1|$read_failed|=
own address in eth0's stanza|auto eth0\niface eth0 inet dhcp\n    hwaddress ether 02:aa:bb:cc:dd:ee\n|0|$present|=
own address in eth0's second stanza, CR LF|iface eth0 inet dhcp\r\niface eth0 inet6 auto\r\n  hwaddress 02:aa:bb:cc:dd:ee\r\n|0|$present|=
own address of another interface|iface eth0 inet dhcp\niface eth1 inet dhcp\n    hwaddress ether 02:aa:bb:cc:dd:ee\n|0||iface eth0 inet dhcp\n${line}iface eth1 inet dhcp\n    hwaddress ether 02:aa:bb:cc:dd:ee\n
own address after eth0's stanza ended|iface eth0 inet dhcp\nallow-hotplug eth1\n    hwaddress ether 02:aa:bb:cc:dd:ee\nmapping eth0\n    hwaddress ether 02:aa:bb:cc:dd:ee\n|0||iface eth0 inet dhcp\n${line}allow-hotplug eth1\n    hwaddress ether 02:aa:bb:cc:dd:ee\nmapping eth0\n    hwaddress ether 02:aa:bb:cc:dd:ee\n
own address commented out|iface eth0 inet dhcp\n#hwaddress ether 02:aa:bb:cc:dd:ee\n|0||iface eth0 inet dhcp\n$line#hwaddress ether 02:aa:bb:cc:dd:ee\n
own address before eth0's definition|hwaddress ether 02:aa:bb:cc:dd:ee\niface eth0 inet dhcp\n|0||hwaddress ether 02:aa:bb:cc:dd:ee\niface eth0 inet dhcp\n$line
TABLE

# Sizes around the limit: a definition line, then a comment line up to SIZE bytes.
definition='iface eth0 inet dhcp\n'
padding() { printf '#%s\\n' "$(printf '%*s' $(($1 - 23)) '' | tr ' ' x)"; }
new_case "$definition$(padding 10239)"
run_tool "$record"
expect "10239 bytes rewritten" 0 "$found" "" "$definition$line$(padding 10239)"
for size in 10240 20000; do
    new_case "$definition$(padding $size)"
    run_tool "$record"
    expect "$size bytes refused" 1 "$found" "$too_long" =
done
new_case "$line$definition$(padding 10240)"
condition "too long, with the setting" 0
run_tool "$record"
expect "too long outranks a present setting" 1 "$found" "$too_long" =

new_case "$sample"
rm "$net/interfaces" "$case/before"
program=$check run_tool -
expect_that "missing file: the condition lets the tool run" grep -qx 0 "$case/status"
run_tool "$record"
expect_that "missing file: message" cmp -s "$case/err" <(printf '%b' "$open_failed")
expect_that "missing file: nothing created" test -z "$(ls "$net")"

new_case "$sample"
SANDBOX_READ_ONLY=1 run_tool "$record"
expect "read-only /etc/network" 1 "$found" "$create_failed" =

# A symbolic link is read through and replaced; what it pointed to stays as it was.
new_case "$sample"
mkdir "$net/real" && mv "$net/interfaces" "$net/real/" && ln -s real/interfaces "$net/interfaces"
run_tool "$record"
expect "link replaced by the new file" 0 "$found" "" "$sample$line"
expect_that "link target unchanged" cmp -s "$net/real/interfaces" "$case/before"
expect_that "link now a regular file" test -f "$net/interfaces" -a ! -L "$net/interfaces"

for mode in 644 640 600; do
    new_case "$sample"
    chmod "$mode" "$net/interfaces"
    run_tool "$record"
    expect_that "mode $mode kept" test "$(stat -c %a "$net/interfaces")" = "$mode"
done

new_case "$sample"
run_tool "$record"
run_tool "$record"
expect "second run leaves the file alone" 0 "$found" "$present" "$sample$line"
ONE_PIPE=1 run_tool "$record"
expect "its lines in order on one pipe" 0 "$found$present" "" "$sample$line"

# Failures no real file produces, injected into the tool's own calls.
stanza='auto eth0\niface eth0 inet dhcp\n    address 10.0.0.2\n'
while IFS='|' read -r fault err; do
    new_case "$stanza"
    FAULT=$fault run_tool "$record"
    expect "$fault" 1 "$found" "$err" =
done <<TABLE
read 1 error|$read_failed
read 2 error|$read_failed
fchmod 1 error|Failed to set the permissions of the temporary file\n
write 1 error|Failed to write the first part of data\n
write 1 short|Failed to write the first part of data\n
write 2 short|Failed to write the MAC setting string\n
write 3 error|Failed to write the MAC address\n
write 3 short|Failed to write the MAC address\n
write 4 short|Failed to write the new line\n
write 5 error|Failed to write the remaining data\n
write 5 short|Failed to write the remaining data\n
fsync 1 error|Failed to flush the temporary file\n
rename 1 error|Failed to rename the temporary file (16 - Device or resource busy)\n
TABLE

# The durable sequence: the whole new file written and flushed before the
# rename, and the rename itself synced; a flush that fails stops the run there.
while IFS='|' read -r name fault calls; do
    new_case "$stanza"
    FAULT=$fault TRACE=$case/trace run_tool "$record"
    expect_that "$name" test "$(tr '\n' ' ' <"$case/trace")" = "$calls"
done <<TABLE
flush, rename, then sync||write write write write write fsync rename sync 
failed flush, no rename|fsync 1 error|write write write write write fsync 
TABLE

# Short reads are not the end of the file.
new_case "$sample"
FAULT="read 0 short" run_tool "$record"
expect "short reads" 0 "$found" "" "$sample$line"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
