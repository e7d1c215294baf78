#!/usr/bin/env bash
# The image builders' packages, without the image builders: the release
# tarball reproducible and the checksums the packages name its own; the
# Buildroot package's hash of LICENSE, its board-library choice (its .mk under
# make, with Buildroot's few functions stubbed) and its source kept out of
# legal-info; a Yocto layer that appends to no other recipe.
# usage: integration_test.sh SOURCE_DIR
set -u
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
package=$source/integration/buildroot/package/set-hwaddr
recipe=$(ls "$source"/integration/yocto/recipes-connectivity/set-hwaddr/set-hwaddr_*.bb)
sum_of() { sha256sum <"$1" | cut -c1-64; }

# The tarball twice: from this tree, and from a copy that is no git checkout,
# made a second later.
tarball=$("$source/scripts/release" "$work/first") || exit 1
mkdir "$work/copy"
tar -C "$source" --exclude=./.git --exclude=./build -cf - . | tar -C "$work/copy" -xf -
sleep 1
"$work/copy/scripts/release" "$work/second" >/dev/null || exit 1
name=$(basename "$tarball")
sum=$(sum_of "$tarball")
echo "$name: sha256 $sum"
check "the tarball, made twice, the same" cmp -s "$tarball" "$work/second/$name"
check "its .sha256" [ "$(cat "$work/first/$name.sha256")" = "$sum  $name" ]
check "no integration/ in it" bash -c "! tar -tzf '$tarball' | grep -q '/integration/'"
check "Buildroot's hash of the tarball is its own" grep -qx "sha256  $sum  $name" "$package/set-hwaddr.hash"
check "Buildroot's hash of LICENSE" grep -qx "sha256  $(sum_of "$source/LICENSE")  LICENSE" "$package/set-hwaddr.hash"
check "Yocto's checksum of the tarball is its own" grep -qx "SRC_URI\[sha256sum\] = \"$sum\"" "$recipe"
# The recipe's own variable, not expanded here.
# shellcheck disable=SC2016
check "Yocto's tarball name" grep -qF 'set-hwaddr-${PV}.tar.gz' "$recipe"

# The .mk under make: what it makes of the configuration, or where it stops.
cat >"$work/stub.mk" <<'STUB'
qstrip = $(strip $(subst ",,$(1)))
BR2_PACKAGE_SET_HWADDR = y
STAGING_DIR = /staging
include $(PACKAGE)/set-hwaddr.mk
show:
	@echo 'deps=$(strip $(SET_HWADDR_DEPENDENCIES)) library=$(filter -DBOARDCFG_LIBRARY=%,$(SET_HWADDR_CONF_OPTS)) redistribute=$(SET_HWADDR_REDISTRIBUTE)'
STUB
# configured NAME WANT CONFIG...: make's output, or its error, under CONFIG.
configured() {
    local name=$1 want=$2 got
    shift 2
    got=$(make -s -f "$work/stub.mk" PACKAGE="$package" "$@" show 2>&1 | sed 's/^.*\*\*\* //')
    check "$name" [ "$got" = "$want" ]
    [ "$got" = "$want" ] || echo "  got: $got"
}
no_name="set-hwaddr: name the board vendor's package that provides libboardcfg.so in BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE, or choose the stand-in, for development boards only.  Stop."
while IFS='|' read -r name want config; do
    # shellcheck disable=SC2086
    configured "$name" "$want" $config
done <<CASES
vendor, named|deps=board-support library=-DBOARDCFG_LIBRARY=/staging/usr/lib/libboardcfg.so redistribute=NO|BR2_PACKAGE_SET_HWADDR_BOARDCFG_VENDOR=y BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE="board-support" BR2_PACKAGE_SET_HWADDR_BOARDCFG_LIBRARY="/usr/lib/libboardcfg.so"
vendor, a path of its own|deps=bsp library=-DBOARDCFG_LIBRARY=/staging/opt/lib/libboardcfg.so redistribute=NO|BR2_PACKAGE_SET_HWADDR_BOARDCFG_VENDOR=y BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE="bsp" BR2_PACKAGE_SET_HWADDR_BOARDCFG_LIBRARY="/opt/lib/libboardcfg.so"
vendor, no name: stops|$no_name|BR2_PACKAGE_SET_HWADDR_BOARDCFG_VENDOR=y BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE=""
vendor, a path but no name: stops|$no_name|BR2_PACKAGE_SET_HWADDR_BOARDCFG_VENDOR=y BR2_PACKAGE_SET_HWADDR_BOARDCFG_LIBRARY="/usr/lib/libboardcfg.so"
stand-in, asked for|deps= library= redistribute=NO|BR2_PACKAGE_SET_HWADDR_BOARDCFG_STANDIN=y
CASES
check "the vendor's package is the choice's default" \
    bash -c "sed -n '/^choice/,/^endchoice/p' '$package/Config.in' | grep -m 1 '^config ' | grep -q '_BOARDCFG_VENDOR\$'"

# Adding the layer changes no recipe but its own; the busybox fragment is a
# template to copy.
check "the layer appends to nothing" [ -z "$(find "$source"/integration/yocto/recipes-* -name '*.bbappend')" ]
check "the busybox template is there" test -f "$source/integration/yocto/templates-busybox/busybox_%.bbappend"
tally
