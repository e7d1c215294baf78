#!/usr/bin/env bash
# What reaches a board: the installed layout, the manual page and the boot unit
# through their linters, and the Debian packages that dpkg-buildpackage made:
# their needs, files, maintainer scripts and lintian; for the board also a
# build against a board's own library.
# usage: ship_test.sh CMAKE SOURCE_DIR BUILD_DIR PREFIX SYSCONFDIR DEBS [armhf NOSONAME_LIBRARY]
set -u
cmake=$1 source=$2 build=$3 prefix=$4 sysconfdir=$5 debs=$6 board=${7:-} nosoname=${8:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
# shellcheck source=tests/setting.sh
. "$(dirname "$0")/setting.sh"
arch=${board:-$(dpkg --print-architecture)}

# check NAME COMMAND...: COMMAND succeeds; what it said on standard error
# tells why not.
check() {
    local name=$1
    shift
    if "$@" 2>"$work/err"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name: $(cat "$work/err")"
    fi
}
# quiet COMMAND...: COMMAND succeeds and says nothing on standard error, as a
# linter with nothing to say.
quiet() {
    local said
    said=$("$@" 2>&1 >/dev/null) && [ -z "$said" ] && return 0
    echo "$said" >&2
    return 1
}
# refuse WHY: the failure of a check, said on standard error.
refuse() {
    echo "$1" >&2
    return 1
}
# same NAME GOT WANT
same() {
    if [ "$2" = "$3" ]; then check "$1" true; else check "$1" refuse "got \"$2\", want \"$3\""; fi
}
# matches NAME TEXT REGEX
matches() {
    if [[ $2 =~ $3 ]]; then check "$1" true; else check "$1" refuse "\"$2\" does not match $3"; fi
}
lacks() { ! grep -qE "$1" "$2"; }
files() { (cd "$1" && find . -type f | sort | tr '\n' ' '); }
deb_files() { dpkg-deb -c "$1" | awk '!/\/$/ { print $NF }' | sort | tr '\n' ' '; }
listing() { (cd "$1" && printf '%s ' *.deb); }
# Errors, warnings and pedantic tags; the informational ones are in the README.
lintian_says() { lintian --pedantic "$1" 2>/dev/null | grep -E '^(E|W|P):'; }

DESTDIR=$work/root "$cmake" --install "$build" --component tool >/dev/null
same "tool's files" "$(files "$work/root")" ".$sysconfdir/init.d/set-hwaddr \
./$prefix/lib/systemd/system/set-hwaddr.service ./$prefix/libexec/set-hwaddr/setting_present \
./$prefix/sbin/set_hwaddr ./$prefix/share/man/man8/set_hwaddr.8 "
check "init script is POSIX sh" quiet sh -n "$work/root$sysconfdir/init.d/set-hwaddr"
matches "init script runs the installed tool" "$(cat "$work/root$sysconfdir/init.d/set-hwaddr")" \
    $'\ntool=/'"$prefix"$'/sbin/set_hwaddr\n'
# The init script's status by what /etc/network holds: LSB's 0 with the
# setting, 3 without, 4 when the file cannot be read. It points at the tool
# installed here, since it does nothing without one.
sed "s|^tool=.*|tool=$work/root/$prefix/sbin/set_hwaddr|" "$work/root$sysconfdir/init.d/set-hwaddr" \
    >"$work/init-status"
# status_is NAME WANT: the status on $work/net as left, which is then emptied.
status_is() {
    local got=0
    "$source/scripts/sandbox" "$work/net" sh "$work/init-status" status >/dev/null 2>&1 || got=$?
    same "init status: $1" "$got" "$2"
    rm -rf "$work/net" && mkdir "$work/net"
}
mkdir "$work/net"
printf 'iface eth0 inet dhcp\n%s02:1a:2b:3c:4d:5e\n' "$setting_prefix" >"$work/net/interfaces"
status_is "setting in place" 0
printf 'iface eth0 inet dhcp\n' >"$work/net/interfaces"
status_is "no setting" 3
status_is "no file" 4
mkdir "$work/net/interfaces"
status_is "a directory" 4
# An image builder's build: a tree without debian/, no preset, a Release build
# that leaves out the boot files its init system does not use.
mkdir "$work/plain"
tar -C "$source" --exclude=./.git --exclude=./build --exclude=./debian -cf - . | tar -C "$work/plain" -xf -
{ "$cmake" -S "$work/plain" -B "$work/plain/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DINSTALL_SYSTEMD_UNIT=OFF -DINSTALL_INIT_SCRIPT=OFF && "$cmake" --build "$work/plain/build" &&
    DESTDIR=$work/bare "$cmake" --install "$work/plain/build" --component tool; } >"$work/plain.log" 2>&1 ||
    cat "$work/plain.log"
same "plain build without boot files" "$(files "$work/bare")" \
    "./usr/local/sbin/set_hwaddr ./usr/local/share/man/man8/set_hwaddr.8 "
check "Release keeps the assertions" grep -q 'mac != nullptr' "$work/bare/usr/local/sbin/set_hwaddr"
# The flags given win: no -O2 forced after DEB_BUILD_OPTIONS=noopt's -O0.
CXXFLAGS=-O0 "$cmake" -S "$work/plain" -B "$work/plain/noopt" >/dev/null 2>&1
check "-O0 given, -O0 built" lacks ' -O2( |$)' "$work/plain/noopt/compile_commands.json"
# What the recipes of integration/ take from a build: the Buildroot package's
# boot hooks copy these two, and the Yocto recipe checks the license's sum.
check "boot files for the Buildroot hooks" test -f "$build/set-hwaddr.init" -a -f "$build/set-hwaddr.service"
matches "license sum in the Yocto recipe" \
    "$(cat "$source"/integration/yocto/recipes-connectivity/set-hwaddr/set-hwaddr_*.bb)" \
    "file://LICENSE;md5=$(md5sum <"$source/LICENSE" | cut -d' ' -f1)"
check "manual page lint" quiet groff -man -ww -z "$work/root/$prefix/share/man/man8/set_hwaddr.8"
check "unit verify" quiet env MANPATH="$work/root/$prefix/share/man" \
    systemd-analyze verify --root="$work/root" "/$prefix/lib/systemd/system/set-hwaddr.service"
# The documented drop-in for a board library that needs a device or the network.
dropin=$work/root/etc/systemd/system/set-hwaddr.service.d
mkdir -p "$dropin"
cp "$source/examples/set-hwaddr.service.d/board-library.conf" "$dropin/"
check "unit verify with the board library's drop-in" quiet env MANPATH="$work/root/$prefix/share/man" \
    systemd-analyze verify --root="$work/root" "/$prefix/lib/systemd/system/set-hwaddr.service"
rm -r "$work/root/etc/systemd"
matches "unit asserts ifconfig" "$(cat "$work/root/$prefix/lib/systemd/system/set-hwaddr.service")" \
    $'\nAssertFileIsExecutable=/sbin/ifconfig\n'

# The packages of the stand-in build.
tool=$debs/set-hwaddr_1.0.0_$arch.deb
standin=$debs/libboardcfg-standin_1.0.0_$arch.deb
same "packages built" "$(listing "$debs")" "libboardcfg-standin-dbgsym_1.0.0_$arch.deb \
$(basename "$standin") set-hwaddr-dbgsym_1.0.0_$arch.deb $(basename "$tool") "
libc='libc6 \(>= 2\.[0-9]+\)'
matches "tool depends" "$(dpkg-deb -f "$tool" Depends)" "^libboardcfg-standin \(>= 1\.0\.0\), $libc, ifupdown, net-tools\$"
matches "stand-in depends" "$(dpkg-deb -f "$standin" Depends)" "^$libc\$"
# holds NAME DEB PATTERN: DEB holds a file matching the extended regex PATTERN.
holds() { grep -qE "^\.$3\$" <<<"$(deb_files "$2" | tr ' ' '\n')"; }
for file in /usr/sbin/set_hwaddr '(/usr)?/lib/systemd/system/set-hwaddr\.service' /etc/init.d/set-hwaddr \
    /usr/libexec/set-hwaddr/setting_present \
    /usr/share/man/man8/set_hwaddr.8.gz /usr/share/doc/set-hwaddr/README.Debian \
    /usr/share/doc/set-hwaddr/examples/board-library.conf; do
    check "the tool's package holds $file" holds tool "$tool" "$file"
done
check "the tool's package holds no libboardcfg" lacks libboardcfg <(deb_files "$tool")
check "the stand-in's library in the multiarch folder" holds standin "$standin" \
    "/usr/lib/$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)/libboardcfg.so"
check "the stand-in's package holds no program" lacks /s?bin/ <(deb_files "$standin")
check "the stand-in's description says what it is not" grep -q "NOT the board's library" \
    <(dpkg-deb -f "$standin" Description)

# The maintainer scripts are debhelper's: the unit enabled and the init script
# registered at installation, neither started, since the tool's moment is the
# next boot; both forgotten on purge.
dpkg-deb --control "$tool" "$work/control"
dpkg-deb --fsys-tarfile "$tool" | tar -xO ./etc/init.d/set-hwaddr >"$work/init"
for script in control/postinst control/postrm init; do
    check "$script syntax" quiet sh -n "$work/$script"
done
matches "postinst enables the unit" "$(cat "$work/control/postinst")" "deb-systemd-helper enable 'set-hwaddr.service'"
matches "postinst registers the init script" "$(cat "$work/control/postinst")" "update-rc.d set-hwaddr defaults"
matches "postrm removes the init script on purge" "$(cat "$work/control/postrm")" "update-rc.d set-hwaddr remove"
same "init script is a conffile" "$(dpkg-deb --info "$tool" conffiles)" "/etc/init.d/set-hwaddr"
check "postinst starts nothing" lacks "deb-systemd-invoke|invoke-rc.d" "$work/control/postinst"
matches "postrm purges the unit" "$(cat "$work/control/postrm")" "deb-systemd-helper purge 'set-hwaddr.service'"
same "stand-in runs ldconfig by trigger" "$(dpkg-deb --info "$standin" triggers | grep -v "^#")" "activate-noawait ldconfig"

# scripts/package: a missing library is refused before anything is built, and
# options come in any order.
missing_refused() {
    ! "$source/scripts/package" --vendor /nonexistent/libboardcfg.so "$work/none" 2>/dev/null && [ ! -e "$work/none" ]
}
check "package: a missing library refused" missing_refused
if [ "$board" != armhf ]; then
    "$source/scripts/package" "$work/any-order" --vendor "$build/boardcfg-standin/libboardcfg.so" board-support \
        --host >/dev/null 2>&1
    same "package: OUT first, --host last, no stand-in" "$(listing "$work/any-order")" \
        "set-hwaddr-dbgsym_1.0.0_$arch.deb set-hwaddr_1.0.0_$arch.deb "
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
    exit
fi

# A build against a board's own library, here played by the stand-in of the preset.
library=$build/boardcfg-standin/libboardcfg.so
matches "notice without the library's package" \
    "$("$source/scripts/package" --vendor "$library" "$work/vendor" 2>&1; cat "$work/vendor/build.log")" \
    "BOARDCFG_PACKAGE is not set"
# Closed libraries often have no SONAME, and a board's package may be versioned.
"$source/scripts/package" --vendor "$nosoname" 'board-support (>= 2.0)' "$work/vendor" >/dev/null 2>&1
tool=$work/vendor/set-hwaddr_1.0.0_armhf.deb
same "vendor build: the tool's packages alone" "$(listing "$work/vendor")" \
    "set-hwaddr-dbgsym_1.0.0_armhf.deb $(basename "$tool") "
matches "vendor build: depends" "$(dpkg-deb -f "$tool" Depends)" "^$libc, board-support \(>= 2\.0\), ifupdown, net-tools\$"
dpkg-deb -x "$tool" "$work/vendor/root"
matches "vendor build: the library needed by name" \
    "$(readelf -d "$work/vendor/root/usr/sbin/set_hwaddr" | grep NEEDED | tr -s ' ')" \
    "\[libboardcfg\.so\]"
check "vendor build: no libboardcfg" lacks libboardcfg <(deb_files "$tool")
same "vendor build: lintian" "$(lintian_says "$work/vendor/set-hwaddr_1.0.0_armhf.changes")" ""

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
