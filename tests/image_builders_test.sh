#!/usr/bin/env bash
# The image builders themselves on the trees of integration/, when pointed at
# them; skipped otherwise (status 77), since the suite cannot download them.
#   BUILDROOT_DIR: a Buildroot tree. make set-hwaddr and its legal-info in an
#     output folder of its own, from BUILDROOT_DEFCONFIG (default: the tree's
#     qemu_arm_vexpress_defconfig) with the stand-in chosen, the release
#     tarball in the download folder (BUILDROOT_DL_DIR, default the tree's
#     dl/); and utils/check-package on the package.
#   OE_CORE_DIR and BITBAKE_DIR: OE-core and bitbake. As an unprivileged user
#     (bitbake refuses root) and offline: bitbake -p, bitbake -n of set-hwaddr
#     and of core-image-minimal with it in the image, and yocto-check-layer.
# usage: image_builders_test.sh SOURCE_DIR
set -u
source=$1
if [ -z "${BUILDROOT_DIR:-}" ] && { [ -z "${OE_CORE_DIR:-}" ] || [ -z "${BITBAKE_DIR:-}" ]; }; then
    echo "skipped: set BUILDROOT_DIR, or OE_CORE_DIR and BITBAKE_DIR, to run the image builders on integration/"
    exit 77
fi
work=$(mktemp -d /var/tmp/image-builders.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
# quietly LOG COMMAND...: COMMAND succeeds, its output in LOG; the end of LOG
# shows why not.
quietly() {
    local log=$1
    shift
    local status=0
    "$@" >"$log" 2>&1 || status=$?
    # What each tool says of the outcome, shown either way.
    grep -E '^(Parsing of|NOTE: Tasks Summary|WARNING|ERROR)|INFO: (test_[a-z_]*|Ran|OK|FAILED)|[0-9]+ warnings generated' \
        "$log" | sed 's/^/  /' | head -n 30
    [ "$status" = 0 ] && return 0
    tail -n 15 "$log"
    return 1
}

if [ -n "${BUILDROOT_DIR:-}" ]; then
    dl=${BUILDROOT_DL_DIR:-$BUILDROOT_DIR/dl}
    "$source/scripts/release" "$dl/set-hwaddr" >/dev/null || exit 1
    out=$work/buildroot
    mkdir -p "$out"
    cat "${BUILDROOT_DEFCONFIG:-$BUILDROOT_DIR/configs/qemu_arm_vexpress_defconfig}" - >"$out/defconfig" <<CONFIG
BR2_DL_DIR="$dl"
BR2_PACKAGE_SET_HWADDR=y
BR2_PACKAGE_SET_HWADDR_BOARDCFG_STANDIN=y
CONFIG
    br=(make -C "$BUILDROOT_DIR" O="$out" BR2_EXTERNAL="$source/integration/buildroot")
    check "buildroot: configured" quietly "$work/br-config.log" "${br[@]}" BR2_DEFCONFIG="$out/defconfig" defconfig
    echo "[image builders $(date +%T)] make set-hwaddr (its dependencies too, toolchain included)"
    check "buildroot: make set-hwaddr" quietly "$work/br-build.log" "${br[@]}" set-hwaddr
    check "buildroot: the tool installed" test -x "$out/target/usr/sbin/set_hwaddr"
    check "buildroot: legal-info" quietly "$work/br-legal.log" "${br[@]}" set-hwaddr-legal-info
    check "buildroot: listed as Proprietary" grep -q '^"set-hwaddr","1.0.0","Proprietary"' "$out/legal-info/manifest.csv"
    check "buildroot: its source kept out" bash -c "! ls -d '$out'/legal-info/sources/set-hwaddr* 2>/dev/null"
    check "buildroot: check-package" quietly "$work/br-check.log" \
        "$BUILDROOT_DIR/utils/check-package" -b "$source"/integration/buildroot/package/set-hwaddr/*
fi

if [ -n "${OE_CORE_DIR:-}" ] && [ -n "${BITBAKE_DIR:-}" ]; then
    # bitbake refuses root: the user nobody, in a home of its own.
    mkdir -p "$work/yocto/home"
    cat >"$work/yocto/run" <<RUN
set -e
cd "$work/yocto"
. "$OE_CORE_DIR/oe-init-build-env" build "$BITBAKE_DIR" >/dev/null
# Configured once, so that later commands reuse the parse.
if [ ! -f conf/set-hwaddr ]; then
    cat >>conf/local.conf <<CONF
BB_NO_NETWORK = "1"
MACHINE = "qemuarm"
BOARDCFG_STANDIN:pn-set-hwaddr = "1"
IMAGE_INSTALL:append = " set-hwaddr"
CONF
    bitbake-layers add-layer "$source/integration/yocto" >/dev/null
    touch conf/set-hwaddr
fi
"\$@"
RUN
    chmod 755 "$work"
    chown -R 65534:65534 "$work/yocto"
    # as_user COMMAND...: COMMAND in the build folder, as nobody.
    as_user() {
        setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME="$work/yocto/home" \
            PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=en_US.UTF-8 bash "$work/yocto/run" "$@"
    }
    check "yocto: bitbake -p" quietly "$work/bb-parse.log" as_user bitbake -p
    check "yocto: no warning at parse" bash -c "! grep -E '^(WARNING|ERROR):' '$work/bb-parse.log'"
    check "yocto: bitbake -n set-hwaddr" quietly "$work/bb-recipe.log" as_user bitbake -n set-hwaddr
    check "yocto: bitbake -n core-image-minimal" quietly "$work/bb-image.log" as_user bitbake -n core-image-minimal
    check "yocto: yocto-check-layer" quietly "$work/bb-check-layer.log" \
        as_user yocto-check-layer --no-auto-dependency "$source/integration/yocto"
fi
tally
