#!/usr/bin/env bash
# The packages as a Debian release builds them: for the board the release's
# own lintian on them; the binaries' needs at run time, how both are
# hardened, and for the board what they run on.
# usage: elf_test.sh READELF DEBS [armhf]
#   (DEBS: the folder scripts/package filled for one release, with --lintian
#   for the board)
set -u
readelf=$1 debs=$2 board=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# same NAME GOT WANT
same() {
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $1: got '$2', want '$3'"
    fi
}
# hardened NAME FILE [OPTION...]: hardening-check finds every feature it is asked for.
hardened() {
    local name=$1 file=$2
    shift 2
    if hardening-check --quiet "$@" "$file" >/dev/null 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name:"
        hardening-check "$@" "$file" 2>/dev/null
    fi
}

# On the board's packages, nothing at all from lintian --pedantic but the
# overrides, each justified where it stands.
if [ "$board" = armhf ]; then
    same "lintian ran" "$(grep -c '^Lintian v' "$debs/lintian.log")" 1
    same "lintian's findings" "$(grep -E '^[EWPXI]:' "$debs/lintian.log")" ""
fi

for package in "$debs"/set-hwaddr_*.deb "$debs"/libboardcfg-standin_*.deb; do
    dpkg-deb -x "$package" "$work/root"
done
tool=$work/root/usr/sbin/set_hwaddr
library=$(find "$work/root" -name libboardcfg.so)

# Nothing of libstdc++ or libgcc_s. On armhf the stack protector's guard lives in
# the loader, which the binary then names.
needed="libboardcfg.so libc.so.6 "
[ "$board" = armhf ] && needed="ld-linux-armhf.so.3 $needed"
same "NEEDED entries" "$("$readelf" -d "$tool" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')" \
    "$needed"
same "no search path" "$("$readelf" -d "$tool" | grep -cE '\((RPATH|RUNPATH)\)')" 0

# Control-flow integrity is checked by looking for x86's CET instructions, which
# an armhf binary never has, and which bookworm's dpkg-buildflags does not ask for.
hardened "tool hardened" "$tool" --nocfprotection
# The condition reads into a buffer whose size the compiler cannot see, and
# calls nothing else that could be fortified.
hardened "condition hardened" "$work/root/usr/libexec/set-hwaddr/setting_present" --nocfprotection --nofortify
# The stand-in has no call whose buffer size the compiler can see, so nothing in
# it can be fortified; it is never on a board in the field.
hardened "stand-in hardened" "$library" --nocfprotection --nofortify

if [ "$board" = armhf ]; then
    attributes=$("$readelf" -A "$tool")
    same "machine" "$("$readelf" -h "$tool" | sed -n 's/^ *Machine: *//p')" ARM
    same "architecture" "$(grep -o 'Tag_CPU_arch: v7$' <<<"$attributes")" "Tag_CPU_arch: v7"
    same "float calling convention" "$(grep -o 'Tag_ABI_VFP_args: VFP registers' <<<"$attributes")" \
        "Tag_ABI_VFP_args: VFP registers"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
