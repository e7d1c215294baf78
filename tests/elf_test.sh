#!/usr/bin/env bash
# What the tool needs at run time, and for the board what it runs on.
# usage: elf_test.sh READELF TOOL [armhf]
set -u
readelf=$1 tool=$2 board=${3:-}
passed=0 failed=0

check() {
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $1: got '$2', want '$3'"
    fi
}

needed=$("$readelf" -d "$tool" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
check "NEEDED entries" "$needed" "libboardcfg.so libc.so.6 "

if [ "$board" = armhf ]; then
    attributes=$("$readelf" -A "$tool")
    check "machine" "$("$readelf" -h "$tool" | sed -n 's/^ *Machine: *//p')" ARM
    check "architecture" "$(grep -o 'Tag_CPU_arch: v7$' <<<"$attributes")" "Tag_CPU_arch: v7"
    check "float calling convention" "$(grep -o 'Tag_ABI_VFP_args: VFP registers' <<<"$attributes")" \
        "Tag_ABI_VFP_args: VFP registers"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
