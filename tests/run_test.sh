#!/usr/bin/env bash
# The tool's runs through the real executable and the stand-in library, each in a
# sandbox of its own: exit status, both output streams, and /etc/network after.
# usage: run_test.sh TOOL SANDBOX; EMULATOR, when set, is the command that runs TOOL.
set -u
tool=$1 sandbox=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0 n=0

mac=02:11:22:33:44:55
lookup_failed='Failed to obtain eth0 MAC address from the commissioning database\n'
sample='auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet dhcp\n'

# run INTERFACES RECORD [ARG...]: runs the tool on a fresh /etc/network holding
# INTERFACES (printf %b escapes) with the commissioning record RECORD ('-': none).
# Sets $case, the folder with out, err and net (what stood in for /etc/network).
run() {
    n=$((n + 1))
    case=$work/$n
    mkdir -p "$case/net"
    printf '%b' "$1" >"$case/net/interfaces"
    [ "$2" = - ] || printf '%b' "$2" >"$case/record"
    shift 2
    BOARDCFG_RECORD=$case/record "$sandbox" "$case/net" ${EMULATOR:-} "$tool" "$@" \
        >"$case/out" 2>"$case/err"
    echo $? >"$case/status"
}

# expect NAME STATUS STDOUT STDERR INTERFACES: the last run's outcome, byte for
# byte, and nothing but the interfaces file left in /etc/network.
expect() {
    local name=$1 fault=
    if [ "$(cat "$case/status")" != "$2" ]; then
        fault="status $(cat "$case/status"), not $2"
    elif ! printf '%b' "$3" | cmp -s - "$case/out"; then
        fault="standard output: $(cat -A "$case/out")"
    elif ! printf '%b' "$4" | cmp -s - "$case/err"; then
        fault="standard error: $(cat -A "$case/err")"
    elif ! printf '%b' "$5" | cmp -s - "$case/net/interfaces"; then
        fault="interfaces file: $(cat -A "$case/net/interfaces")"
    elif [ "$(ls -A "$case/net")" != interfaces ]; then
        fault="left in /etc/network: $(ls -A "$case/net" | tr '\n' ' ')"
    fi
    if [ -z "$fault" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name: $fault"
    fi
}

# The lookup as the run sees it: a refused address is a failed lookup.
while IFS='|' read -r name record status out; do
    err=
    [ "$status" = 0 ] || err=$lookup_failed
    run "$sample" "$record"
    expect "$name" "$status" "$out" "$err" "$sample"
done <<TABLE
address found|pcba_mac=$mac\n|0|PCBA MAC: $mac\n
bare address kept as delivered|# factory\nserial=42\npcba_mac=0A1B2C3D4E5F\n|0|PCBA MAC: 0A1B2C3D4E5F\n
first pcba_mac line wins|pcba_mac=$mac\npcba_mac=02:00:00:00:00:01\n|0|PCBA MAC: $mac\n
no record|-|1|
no pcba_mac line|serial=42\n#pcba_mac=$mac\n|1|
empty address|pcba_mac=\n|1|
record with CR LF lines|pcba_mac=$mac\r\n|1|
shell text after the address|pcba_mac=$mac; reboot\n|1|
multicast address|pcba_mac=01:00:5e:00:00:01\n|1|
field without terminator|pcba_mac=$mac$(printf 'x%.0s' {1..200})\n|1|
TABLE

# Arguments are ignored.
run "$sample" "pcba_mac=$mac\n" --help -v eth1
expect "arguments ignored" 0 "PCBA MAC: $mac\n" "" "$sample"
run "$sample" - --help
expect "arguments ignored on failure" 1 "" "$lookup_failed" "$sample"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
