#!/usr/bin/env bash
# What reaches a board: the installed layout, the manual page and the boot unit
# through their linters, and for the board build the Debian packages: their
# needs, their maintainer scripts, lintian, and a build against a board's own
# library.
# usage: ship_test.sh CMAKE CPACK SOURCE_DIR BUILD_DIR PREFIX [armhf]
set -u
cmake=$1 cpack=$2 source=$3 build=$4 prefix=$5 board=${6:-}
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
# same NAME GOT WANT
same() {
    [ "$2" = "$3" ] && check "$1" true || check "$1" sh -c 'echo "got \"$1\", want \"$2\"" >&2' - "$2" "$3"
}
# matches NAME TEXT REGEX
matches() {
    [[ $2 =~ $3 ]] && check "$1" true || check "$1" sh -c 'echo "\"$1\" does not match $2" >&2' - "$2" "$3"
}
files() { (cd "$1" && find . -type f | sort | tr '\n' ' '); }
deb_files() { dpkg-deb -c "$1" | awk '!/\/$/ { print $NF }' | sort | tr '\n' ' '; }
lintian_says() { lintian "$1" 2>/dev/null | grep -E '^(E|W):'; }

tool_files="./$prefix/lib/systemd/system/set-hwaddr.service ./$prefix/sbin/set_hwaddr \
./$prefix/share/doc/set-hwaddr/changelog.gz ./$prefix/share/doc/set-hwaddr/copyright \
./$prefix/share/man/man8/set_hwaddr.8.gz "
DESTDIR=$work/root "$cmake" --install "$build" --component tool >/dev/null
same "tool's files" "$(files "$work/root")" "$tool_files"
check "manual page lint" sh -c 'zcat "$1" | groff -man -ww -z' - "$work/root/$prefix/share/man/man8/set_hwaddr.8.gz"
check "unit verify" env MANPATH="$work/root/$prefix/share/man" \
    systemd-analyze verify --root="$work/root" "/$prefix/lib/systemd/system/set-hwaddr.service"
matches "unit asserts ifconfig" "$(cat "$work/root/$prefix/lib/systemd/system/set-hwaddr.service")" \
    $'\nAssertFileIsExecutable=/sbin/ifconfig\n'

[ "$board" = armhf ] || { echo "$passed passed, $failed failed"; [ "$failed" = 0 ]; exit; }

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/stand-in" >/dev/null
tool=$work/stand-in/set-hwaddr_1.0.0_armhf.deb
standin=$work/stand-in/libboardcfg-standin_1.0.0_armhf.deb
same "packages built" "$(cd "$work/stand-in" && ls -- *.deb | tr '\n' ' ')" "$(basename "$standin") $(basename "$tool") "
libc='libc6 \(>= 2\.[0-9]+\)'
matches "tool depends" "$(dpkg-deb -f "$tool" Depends)" \
    "^net-tools, init-system-helpers \(>= 1\.54~\), libboardcfg-standin, $libc\$"
matches "stand-in depends" "$(dpkg-deb -f "$standin" Depends)" "^$libc\$"
same "tool package files" "$(deb_files "$tool")" "$tool_files"
same "stand-in package files" "$(deb_files "$standin")" \
    "./usr/lib/arm-linux-gnueabihf/libboardcfg.so ./usr/share/doc/libboardcfg-standin/changelog.gz \
./usr/share/doc/libboardcfg-standin/copyright ./usr/share/lintian/overrides/libboardcfg-standin "
for package in "$tool" "$standin"; do
    same "lintian $(basename "$package")" "$(lintian_says "$package")" ""
done
dpkg-deb --control "$tool" "$work/control"
for script in postinst postrm; do
    check "$script syntax" sh -n "$work/control/$script"
done
matches "postinst enables the unit" "$(cat "$work/control/postinst")" 'deb-systemd-helper enable "\$unit"'
matches "postrm purges the unit" "$(cat "$work/control/postrm")" 'deb-systemd-helper purge "\$unit"'
same "stand-in runs ldconfig by trigger" "$(dpkg-deb --info "$standin" triggers)" "activate-noawait ldconfig"

# A build against a board's own library, here played by the stand-in just built.
vendor() {
    "$cmake" -S "$source" -B "$work/vendor" --toolchain "$source/cmake/armhf.cmake" \
        -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
        -DBOARDCFG_LIBRARY="$build/boardcfg-standin/libboardcfg.so" "$@" 2>&1
}
matches "notice without BOARDCFG_PACKAGE" "$(vendor)" "BOARDCFG_PACKAGE is not set"
vendor -DBOARDCFG_PACKAGE=board-support >/dev/null
"$cmake" --build "$work/vendor" >/dev/null
"$cpack" --config "$work/vendor/CPackConfig.cmake" -B "$work/vendor-package" >/dev/null
tool=$work/vendor-package/set-hwaddr_1.0.0_armhf.deb
same "vendor build: one package" "$(cd "$work/vendor-package" && ls -- *.deb)" "$(basename "$tool")"
matches "vendor build: depends" "$(dpkg-deb -f "$tool" Depends)" \
    "^net-tools, init-system-helpers \(>= 1\.54~\), board-support, $libc\$"
same "vendor build: files" "$(deb_files "$tool")" "$tool_files"
same "lintian on the vendor build" "$(lintian_says "$tool")" ""

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
