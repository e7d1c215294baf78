#!/usr/bin/env bash
# What reaches a board: the installed layout, the manual page and the boot unit
# through their linters, and for the board build the Debian package.
# usage: ship_test.sh CMAKE CPACK BUILD_DIR PREFIX [armhf]
set -u
cmake=$1 cpack=$2 build=$3 prefix=$4 board=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# check NAME COMMAND...: COMMAND succeeds and prints nothing on standard error.
check() {
    local name=$1
    shift
    if "$@" 2>"$work/err" && [ ! -s "$work/err" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name: $(cat "$work/err")"
    fi
}

DESTDIR=$work/root "$cmake" --install "$build" --component tool >/dev/null
files() { (cd "$1" && find . -type f | sort | tr '\n' ' '); }
tool_files="./$prefix/lib/systemd/system/set-hwaddr.service ./$prefix/sbin/set_hwaddr ./$prefix/share/man/man8/set_hwaddr.8 "
check "tool's files" test "$(files "$work/root")" = "$tool_files"
check "manual page lint" groff -man -ww -z "$work/root/$prefix/share/man/man8/set_hwaddr.8"
check "unit verify" env MANPATH="$work/root/$prefix/share/man" \
    systemd-analyze verify --root="$work/root" "/$prefix/lib/systemd/system/set-hwaddr.service"

if [ "$board" = armhf ]; then
    "$cpack" --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
    deb=$(ls "$work/package"/set-hwaddr_*_armhf.deb)
    check "package name" test -f "$deb"
    check "package architecture" test "$(dpkg-deb -f "$deb" Architecture)" = armhf
    check "package depends" test "$(dpkg-deb -f "$deb" Depends | cut -d' ' -f1)" = libc6
    check "package files" test "$(dpkg-deb -c "$deb" | awk '!/\/$/ { print $NF }' | sort | tr '\n' ' ')" = \
        "$tool_files"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
