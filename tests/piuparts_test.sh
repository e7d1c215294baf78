#!/usr/bin/env bash
# The packages' life on a board of one Debian release, as piuparts checks it:
# installed, removed and purged with nothing left behind, and upgraded from
# the previous version (this tree built again under a lower version) without
# starting anything or undoing an opt-out (the scripts of tests/piuparts).
# usage: piuparts_test.sh PACKAGE_SCRIPT DEBS RELEASE   (DEBS: this machine's build)
set -u
package=$1 debs=$2 release=$3
source=$(cd "$(dirname "$package")/.." && pwd)
cache=${BUILD_CACHE:-/var/cache/set-hwaddr-build}
mirror=http://deb.debian.org/debian
work=$(mktemp -d /var/tmp/piuparts.XXXXXX)
trap 'rm -rf "$work"' EXIT
# piuparts' chroot starts from this tarball, kept with the build chroots:
# minbase, with systemd for systemctl, as a board has it.
base=$cache/piuparts-$release-$(sha256sum <"$0" | cut -c1-16).tar.gz
(
    flock 9
    [ -f "$base" ] && exit 0
    echo "[piuparts $(date +%T)] making the $release base tarball (once)" >&2
    mmdebstrap --variant=minbase --include=systemd --format=tar "$release" - "deb $mirror $release main" |
        gzip -1 >"$base.partial" && rm -f "$cache/piuparts-$release-"*.tar.gz && mv "$base.partial" "$base"
) 9>"$cache/piuparts-$release.lock" || exit 1

# The previous version, served by a repository of its own.
mkdir "$work/tree" "$work/previous"
tar -C "$source" --exclude=./.git --exclude=./build -cf - . | tar -C "$work/tree" -xf -
(cd "$work/tree" && DEBFULLNAME=test DEBEMAIL=test@example.com \
    dch -b --newversion 0.9.9 --distribution UNRELEASED "The previous version, for the upgrade test." 2>/dev/null) ||
    exit 1
"$work/tree/scripts/package" --host --release "$release" "$work/previous" >/dev/null 2>"$work/previous.log" ||
    { cat "$work/previous.log"; exit 1; }
(cd "$work/previous" && dpkg-scanpackages . /dev/null >Packages 2>/dev/null)

echo "[piuparts $(date +%T)] install, purge and the upgrade from 0.9.9, on $release" >&2
arch=$(dpkg --print-architecture)
# trixie's debconf leaves its working folder behind at the first package it
# configures, whichever it is; it belongs to no package.
if TMPDIR=$work piuparts --ignore=/var/cache/debconf/tmp.ci/ --distribution="$release" --mirror="$mirror main" --basetgz="$base" \
    --bindmount="$work/previous" --extra-repo="deb [trusted=yes] file://$work/previous ./" \
    --scriptsdir="$source/tests/piuparts" --log-file="$work/piuparts.log" \
    "$debs/set-hwaddr_1.0.0_$arch.deb" "$debs/libboardcfg-standin_1.0.0_$arch.deb" >/dev/null 2>&1; then
    grep -E 'nothing started|opt-outs kept|PASS:' "$work/piuparts.log" | sed 's/^.*DEBUG: *//' | sort | uniq -c
    echo "1 passed, 0 failed"
else
    grep -E 'FAIL|ERROR|left|not owned' "$work/piuparts.log" | head -n 40
    tail -n 20 "$work/piuparts.log"
    echo "0 passed, 1 failed"
    exit 1
fi
