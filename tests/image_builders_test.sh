#!/usr/bin/env bash
# The image builders themselves on the trees of integration/, when pointed at
# them; skipped otherwise (status 77), since the suite cannot download them.
#   BUILDROOT_DIR: a Buildroot tree. make set-hwaddr and its legal-info in an
#     output folder of its own, from BUILDROOT_DEFCONFIG (default: the tree's
#     qemu_arm_vexpress_defconfig) with the stand-in chosen, the release
#     tarball in the download folder (BUILDROOT_DOWNLOADS, default the tree's
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
    grep -E '^(Parsing of|NOTE: Tasks Summary|WARNING|ERROR)|^INFO: (.*(test_[a-z_]+|PASS|FAIL|Ran [0-9]+ test)| +\.\.\. )|[0-9]+ warnings generated' \
        "$log" | sed 's/^/  /' | head -n 60
    [ "$status" = 0 ] && return 0
    tail -n 15 "$log"
    return 1
}

if [ -n "${BUILDROOT_DIR:-}" ]; then
    dl=${BUILDROOT_DOWNLOADS:-$BUILDROOT_DIR/dl}
    "$source/scripts/release" "$dl/set-hwaddr" >/dev/null || exit 1
    # The vendor's choice needs a vendor: the stand-in's source, built as a
    # board library by a package of its own.
    vendor=$work/vendor
    mkdir -p "$vendor/package/board-vendor"
    printf 'name: BOARD_VENDOR\ndesc: a board library\n' >"$vendor/external.desc"
    printf 'config BR2_PACKAGE_BOARD_VENDOR\n\tbool "board-vendor"\n' >"$vendor/Config.in"
    # shellcheck disable=SC2016 # make's variable, for make
    echo 'include $(BR2_EXTERNAL_BOARD_VENDOR_PATH)/package/board-vendor/board-vendor.mk' >"$vendor/external.mk"
    cat >"$vendor/package/board-vendor/board-vendor.mk" <<'MK'
BOARD_VENDOR_SITE = $(BR2_EXTERNAL_BOARD_VENDOR_PATH)/../source/boardcfg-standin
BOARD_VENDOR_SITE_METHOD = local
BOARD_VENDOR_INSTALL_STAGING = YES
define BOARD_VENDOR_BUILD_CMDS
	$(TARGET_CXX) $(TARGET_CXXFLAGS) -I$(BR2_EXTERNAL_BOARD_VENDOR_PATH)/../source/src/commissioning \
		-shared -fPIC -o $(@D)/libboardcfg.so $(@D)/boardcfg_standin.cpp
endef
define BOARD_VENDOR_INSTALL_STAGING_CMDS
	$(INSTALL) -D -m 0755 $(@D)/libboardcfg.so $(STAGING_DIR)/usr/lib/libboardcfg.so
endef
define BOARD_VENDOR_INSTALL_TARGET_CMDS
	$(INSTALL) -D -m 0755 $(@D)/libboardcfg.so $(TARGET_DIR)/usr/lib/libboardcfg.so
endef
$(eval $(generic-package))
MK
    ln -s "$source" "$work/source"
    # No backup site: nothing may be fetched from outside.
    base="BR2_BACKUP_SITE=\"\";BR2_PACKAGE_SET_HWADDR=y"
    # br OUT MAKE-ARGUMENT...: make in the tree, its output in OUT. tar's
    # configure refuses root unless told.
    br() {
        local out=$1
        shift
        FORCE_UNSAFE_CONFIGURE=1 make -C "$BUILDROOT_DIR" O="$out" "$@"
    }
    # configure OUT CONFIG [DL]: OUT configured from the defconfig and CONFIG
    # (its lines separated by semicolons), the download folder DL (default $dl),
    # with the override file when given, and each of CONFIG's lines taken.
    configure() {
        local out=$1 externals missing
        mkdir -p "$out"
        tr ';' '\n' <<<"BR2_DL_DIR=\"${3:-$dl}\";$base;$2" | cat "${BUILDROOT_DEFCONFIG:-$BUILDROOT_DIR/configs/qemu_arm_vexpress_defconfig}" - >"$out/defconfig"
        [ -z "${BUILDROOT_LOCAL_MK:-}" ] || cp "$BUILDROOT_LOCAL_MK" "$out/local.mk"
        externals=$source/integration/buildroot
        grep -q BOARD_VENDOR "$out/defconfig" && externals+=":$vendor"
        quietly "$out/config.log" br "$out" BR2_EXTERNAL="$externals" BR2_DEFCONFIG="$out/defconfig" defconfig || return 1
        missing=$(tr ';' '\n' <<<"$2" | grep -vxFf "$out/.config")
        [ -z "$missing" ] || { echo "  not taken: $missing"; return 1; }
    }
    # The tarball in the download folder, no site typed in: each init system,
    # and the vendor's library in the stand-in's place.
    while IFS='|' read -r variant config installed; do
        out=$work/br-$variant
        echo "[image builders $(date +%T)] buildroot, $variant: make set-hwaddr (its dependencies too)"
        check "buildroot $variant: configured" configure "$out" "$config"
        check "buildroot $variant: make set-hwaddr" quietly "$out/build.log" br "$out" set-hwaddr
        for file in $installed; do
            case $file in
            !*) check "buildroot $variant: no ${file#!}" test ! -e "$out/target${file#!}" ;;
            *) check "buildroot $variant: $file" test -e "$out/target$file" ;;
            esac
        done
        check "buildroot $variant: rebuild" quietly "$out/rebuild.log" br "$out" set-hwaddr-rebuild
        check "buildroot $variant: legal-info" quietly "$out/legal.log" br "$out" set-hwaddr-legal-info
        check "buildroot $variant: listed as Proprietary" grep -q '^"set-hwaddr","1.0.0","Proprietary"' "$out/legal-info/manifest.csv"
        check "buildroot $variant: its source kept out" bash -c "! ls -d '$out'/legal-info/sources/set-hwaddr* 2>/dev/null"
        check "buildroot $variant: show-info" bash -c "make -s -C '$BUILDROOT_DIR' O='$out' show-info |
            python3 -c 'import json, sys; assert json.load(sys.stdin)[\"set-hwaddr\"][\"redistributable\"] is False'"
        check "buildroot $variant: printvars" bash -c "make -s -C '$BUILDROOT_DIR' O='$out' printvars VARS=SET_HWADDR_SITE | grep -q '^SET_HWADDR_SITE=.'"
    done <<CASES
busybox-init|BR2_PACKAGE_SET_HWADDR_BOARDCFG_STANDIN=y|/usr/sbin/set_hwaddr /etc/init.d/S39set-hwaddr /usr/lib/libboardcfg.so /usr/share/man/man8/set_hwaddr.8 !/usr/libexec
systemd|BR2_INIT_SYSTEMD=y;# BR2_PACKAGE_SYSTEMD_NETWORKD is not set;BR2_PACKAGE_SET_HWADDR_BOARDCFG_STANDIN=y|/usr/sbin/set_hwaddr /usr/lib/systemd/system/set-hwaddr.service /usr/libexec/set-hwaddr/setting_present !/etc/init.d/S39set-hwaddr
vendor|BR2_PACKAGE_BOARD_VENDOR=y;BR2_PACKAGE_SET_HWADDR_BOARDCFG_VENDOR=y;BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE="board-vendor"|/usr/sbin/set_hwaddr /usr/lib/libboardcfg.so
CASES
    check "buildroot vendor: no stand-in built" bash -c "! grep -q 'Installing: .*libboardcfg' '$work/br-vendor/build.log'"
    # A site given: the tarball downloaded from it into an empty download
    # folder. Unreachable, with no tarball at hand: Buildroot's own error.
    mkdir -p "$work/site"
    cp "$dl/set-hwaddr/set-hwaddr-1.0.0.tar.gz" "$work/site/"
    python3 -m http.server -b 127.0.0.1 -d "$work/site" 8738 >/dev/null 2>&1 &
    server=$!
    for port in 8738 9; do
        check "buildroot, site at port $port: configured" configure "$work/br-$port" \
            "BR2_PACKAGE_SET_HWADDR_BOARDCFG_STANDIN=y;BR2_PACKAGE_SET_HWADDR_SITE=\"http://127.0.0.1:$port\"" "$work/br-$port/dl"
    done
    check "buildroot: downloaded from the site given" quietly "$work/br-8738.log" br "$work/br-8738" set-hwaddr-source
    check "buildroot: the download kept" test -s "$work/br-8738/dl/set-hwaddr/set-hwaddr-1.0.0.tar.gz"
    kill "$server"
    br "$work/br-9" set-hwaddr-source >"$work/br-9.log" 2>&1
    check "buildroot: an unreachable site fails" [ $? != 0 ]
    check "buildroot: as Buildroot says" grep -q 'Connecting to 127.0.0.1:9... failed' "$work/br-9.log"
    check "buildroot: nothing in its place" test ! -e "$work/br-9/dl/set-hwaddr/set-hwaddr-1.0.0.tar.gz"
    check "buildroot: check-package" quietly "$work/br-check.log" \
        "$BUILDROOT_DIR/utils/check-package" -b "$source"/integration/buildroot/package/set-hwaddr/*
fi

if [ -n "${OE_CORE_DIR:-}" ] && [ -n "${BITBAKE_DIR:-}" ]; then
    # bitbake refuses root: the user nobody, in a home of its own.
    mkdir -p "$work/yocto/home"
    cat >"$work/yocto/run" <<RUN
set -e
cd "$work/yocto"
# yocto-check-layer adds the layer itself, to a folder without it: given one
# with the layer, it tests nothing and passes.
build=build
[ "\$1" = yocto-check-layer ] && build=check-layer
. "$OE_CORE_DIR/oe-init-build-env" "\$build" "$BITBAKE_DIR" >/dev/null
# Configured once, so that later commands reuse the parse.
if [ ! -f conf/set-hwaddr ]; then
    printf 'BB_NO_NETWORK = "1"\nMACHINE = "qemuarm"\n' >>conf/local.conf
    if [ "\$build" = build ]; then
        printf 'BOARDCFG_STANDIN:pn-set-hwaddr = "1"\nIMAGE_INSTALL:append = " set-hwaddr"\n' >>conf/local.conf
        bitbake-layers add-layer "$source/integration/yocto" >/dev/null
    fi
    touch conf/set-hwaddr
fi
"\$@"
RUN
    chmod 755 "$work"
    chown -R 65534:65534 "$work/yocto"
    # as_user COMMAND...: COMMAND in the build folder, as nobody.
    as_user() {
        setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME="$work/yocto/home" ${LOCPATH:+LOCPATH="$LOCPATH" BB_ENV_PASSTHROUGH_ADDITIONS=LOCPATH} \
            PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=en_US.UTF-8 bash "$work/yocto/run" "$@"
    }
    check "yocto: bitbake -p" quietly "$work/bb-parse.log" as_user bitbake -p
    check "yocto: no warning at parse" bash -c "! grep -E '^(WARNING|ERROR):' '$work/bb-parse.log'"
    check "yocto: bitbake -n set-hwaddr" quietly "$work/bb-recipe.log" as_user bitbake -n set-hwaddr
    check "yocto: bitbake -n core-image-minimal" quietly "$work/bb-image.log" as_user bitbake -n core-image-minimal
    check "yocto: yocto-check-layer" quietly "$work/bb-check-layer.log" \
        as_user yocto-check-layer --no-auto-dependency "$source/integration/yocto"
    check "yocto: yocto-check-layer tested the layer" grep -q '^INFO: yocto .* PASS$' "$work/bb-check-layer.log"
fi
tally
