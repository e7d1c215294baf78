#!/usr/bin/env bash
# What reaches a board: the installed layout, the manual page and the boot unit
# through their linters, and the Debian packages that dpkg-buildpackage made:
# their needs, files, maintainer scripts and lintian; for the board also a
# build against a board's own library.
# usage: ship_test.sh CMAKE SOURCE_DIR BUILD_DIR PREFIX DEBS [armhf]
set -u
cmake=$1 source=$2 build=$3 prefix=$4 debs=$5 board=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
arch=${board:-$(dpkg --print-architecture)}

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
listing() { (cd "$1" && ls -- *.deb | tr '\n' ' '); }
# Errors, warnings and pedantic tags; the informational ones are in the README.
lintian_says() { lintian --pedantic "$1" 2>/dev/null | grep -E '^(E|W|P):'; }

DESTDIR=$work/root "$cmake" --install "$build" --component tool >/dev/null
same "tool's files" "$(files "$work/root")" "./$prefix/lib/systemd/system/set-hwaddr.service \
./$prefix/sbin/set_hwaddr ./$prefix/share/man/man8/set_hwaddr.8 "
check "manual page lint" groff -man -ww -z "$work/root/$prefix/share/man/man8/set_hwaddr.8"
check "unit verify" env MANPATH="$work/root/$prefix/share/man" \
    systemd-analyze verify --root="$work/root" "/$prefix/lib/systemd/system/set-hwaddr.service"
matches "unit asserts ifconfig" "$(cat "$work/root/$prefix/lib/systemd/system/set-hwaddr.service")" \
    $'\nAssertFileIsExecutable=/sbin/ifconfig\n'

# The packages of the stand-in build.
tool=$debs/set-hwaddr_1.0.0_$arch.deb
standin=$debs/libboardcfg-standin_1.0.0_$arch.deb
same "packages built" "$(listing "$debs")" "libboardcfg-standin-dbgsym_1.0.0_$arch.deb \
$(basename "$standin") set-hwaddr-dbgsym_1.0.0_$arch.deb $(basename "$tool") "
libc='libc6 \(>= 2\.[0-9]+\)'
matches "tool depends" "$(dpkg-deb -f "$tool" Depends)" "^libboardcfg-standin \(>= 1\.0\.0\), $libc, net-tools\$"
matches "stand-in depends" "$(dpkg-deb -f "$standin" Depends)" "^$libc\$"
tool_files="./etc/init.d/set-hwaddr ./lib/systemd/system/set-hwaddr.service ./usr/sbin/set_hwaddr \
./usr/share/doc/set-hwaddr/changelog.gz ./usr/share/doc/set-hwaddr/copyright \
./usr/share/man/man8/set_hwaddr.8.gz "
same "tool package files" "$(deb_files "$tool")" "$tool_files"
same "stand-in package files" "$(deb_files "$standin")" \
    "./usr/lib/$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)/libboardcfg.so \
./usr/share/doc/libboardcfg-standin/changelog.gz ./usr/share/doc/libboardcfg-standin/copyright \
./usr/share/lintian/overrides/libboardcfg-standin "
same "lintian on the build" "$(lintian_says "$debs/set-hwaddr_1.0.0_$arch.changes")" ""

# The maintainer scripts are debhelper's: the unit enabled and the init script
# registered at installation, neither started, since the tool's moment is the
# next boot; both forgotten on purge.
dpkg-deb --control "$tool" "$work/control"
dpkg-deb --fsys-tarfile "$tool" | tar -xO ./etc/init.d/set-hwaddr >"$work/init"
for script in control/postinst control/postrm init; do
    check "$script syntax" sh -n "$work/$script"
done
matches "postinst enables the unit" "$(cat "$work/control/postinst")" "deb-systemd-helper enable 'set-hwaddr.service'"
matches "postinst registers the init script" "$(cat "$work/control/postinst")" "update-rc.d set-hwaddr defaults"
matches "postrm removes the init script on purge" "$(cat "$work/control/postrm")" "update-rc.d set-hwaddr remove"
same "init script is a conffile" "$(dpkg-deb --info "$tool" conffiles)" "/etc/init.d/set-hwaddr"
check "postinst starts nothing" sh -c '! grep -E "deb-systemd-invoke|invoke-rc.d" "$1"' - "$work/control/postinst"
matches "postrm purges the unit" "$(cat "$work/control/postrm")" "deb-systemd-helper purge 'set-hwaddr.service'"
same "stand-in runs ldconfig by trigger" "$(dpkg-deb --info "$standin" triggers | grep -v "^#")" "activate-noawait ldconfig"

[ "$board" = armhf ] || { echo "$passed passed, $failed failed"; [ "$failed" = 0 ]; exit; }

# A build against a board's own library, here played by the stand-in of the preset.
library=$build/boardcfg-standin/libboardcfg.so
matches "notice without the library's package" \
    "$("$source/scripts/package" --vendor "$library" "$work/vendor" 2>&1; cat "$work/vendor/build.log")" \
    "BOARDCFG_PACKAGE is not set"
"$source/scripts/package" --vendor "$library" board-support "$work/vendor" >/dev/null 2>&1
tool=$work/vendor/set-hwaddr_1.0.0_armhf.deb
same "vendor build: the tool's packages alone" "$(listing "$work/vendor")" \
    "set-hwaddr-dbgsym_1.0.0_armhf.deb $(basename "$tool") "
matches "vendor build: depends" "$(dpkg-deb -f "$tool" Depends)" "^$libc, board-support, net-tools\$"
same "vendor build: files" "$(deb_files "$tool")" "$tool_files"
same "vendor build: lintian" "$(lintian_says "$work/vendor/set-hwaddr_1.0.0_armhf.changes")" ""

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
