SUMMARY = "Gives eth0 the board's PCBA MAC through /etc/network/interfaces"
DESCRIPTION = "At boot, before the interfaces come up, inserts a pre-up line \
that sets eth0's hardware address to the PCBA MAC read through the board \
library libboardcfg.so."
LICENSE = "LicenseRef-Proprietary"
LIC_FILES_CHKSUM = "file://LICENSE;md5=a034f449a324619783317fe7159d24b5"
# 5.0 takes the license text from here; from 5.3 on, LicenseRef- names are
# looked up without the prefix, where OE-core has a generic text.
NO_GENERIC_LICENSE[LicenseRef-Proprietary] = "LICENSE"

# The release tarball that scripts/release makes: put it in DL_DIR, or give
# the folder it is served from in SET_HWADDR_RELEASE_URI. For a clone, the
# development override is externalsrc, in local.conf:
#   INHERIT += "externalsrc"
#   EXTERNALSRC:pn-set-hwaddr = "/path/to/set_hwaddr"
SET_HWADDR_RELEASE_URI ??= "https://releases.invalid/set-hwaddr"
SRC_URI = "${SET_HWADDR_RELEASE_URI}/set-hwaddr-${PV}.tar.gz"
SRC_URI[sha256sum] = "eb6544d5b99d7483e7ef50733aa77f380cd1f8d960a560ff667cab441114f040"
# The default S, ${BP} in the unpack folder, is the tarball's top folder.

inherit cmake update-rc.d systemd

# The board library: BOARDCFG_RECIPE names the vendor's recipe that installs
# libboardcfg.so in ${libdir}. The stand-in, which reads
# /etc/boardcfg/commissioning, is for development boards only, and is built
# only when asked for with BOARDCFG_STANDIN = "1". With neither, the recipe
# is skipped, and saying why.
BOARDCFG_RECIPE ??= ""
BOARDCFG_STANDIN ??= "0"
python () {
    recipe = d.getVar('BOARDCFG_RECIPE')
    standin = d.getVar('BOARDCFG_STANDIN') == '1'
    if recipe and standin:
        raise bb.parse.SkipRecipe('set BOARDCFG_RECIPE or BOARDCFG_STANDIN = "1", not both')
    if not recipe and not standin:
        raise bb.parse.SkipRecipe('name the board library\'s recipe in BOARDCFG_RECIPE, '
                                  'or set BOARDCFG_STANDIN = "1" for the stand-in (development boards only)')
}
DEPENDS += "${BOARDCFG_RECIPE}"
RDEPENDS:${PN} += "${BOARDCFG_RECIPE}"

EXTRA_OECMAKE = "\
    -DBUILD_TESTING=OFF \
    -DSYSTEMD_UNIT_DIR=${systemd_system_unitdir} \
    -DINSTALL_SYSTEMD_UNIT=${@bb.utils.contains('DISTRO_FEATURES', 'systemd', 'ON', 'OFF', d)} \
    -DINSTALL_INIT_SCRIPT=${@bb.utils.contains('DISTRO_FEATURES', 'sysvinit', 'ON', 'OFF', d)} \
    ${@'-DBOARDCFG_LIBRARY=${STAGING_LIBDIR}/libboardcfg.so' if d.getVar('BOARDCFG_RECIPE') else ''} \
"

# Runlevel S, before runlevel 5's S01networking runs ifup -a.
INITSCRIPT_NAME = "set-hwaddr"
INITSCRIPT_PARAMS = "start 40 S ."
SYSTEMD_SERVICE:${PN} = "set-hwaddr.service"

# The stand-in is an unversioned .so, which would otherwise go to -dev.
FILES_SOLIBSDEV = ""
FILES:${PN} += "${libdir}/libboardcfg.so"
INSANE_SKIP:${PN} += "dev-so"

# The inserted line runs /sbin/ifconfig with "hw ether": what provides it is
# the image's choice. busybox needs the fragment of templates-busybox/ from
# 5.2 "walnascar" on; OE's net-tools puts ifconfig in /bin, not /sbin.
VIRTUAL-RUNTIME_ifconfig ??= "busybox"
RDEPENDS:${PN} += "${VIRTUAL-RUNTIME_ifconfig}"
