SUMMARY = "Gives eth0 the board's PCBA MAC through /etc/network/interfaces"
DESCRIPTION = "At boot, before the interfaces come up, inserts a pre-up line \
that sets eth0's hardware address to the PCBA MAC read through the board \
library libboardcfg.so."
LICENSE = "Proprietary"
LIC_FILES_CHKSUM = "file://LICENSE;md5=a034f449a324619783317fe7159d24b5"
NO_GENERIC_LICENSE[Proprietary] = "LICENSE"

# Built from this tree, the layer's grandparent; SET_HWADDR_SOURCE moves it.
SET_HWADDR_SOURCE ??= "${@os.path.abspath(os.path.join(d.getVar('THISDIR'), '../../../..'))}"
EXTERNALSRC = "${SET_HWADDR_SOURCE}"
EXTERNALSRC_BUILD = "${WORKDIR}/build"

inherit externalsrc cmake update-rc.d systemd

# The board library. BOARDCFG_RECIPE names the vendor's recipe that installs
# libboardcfg.so in ${libdir}; empty builds the stand-in, which reads
# /etc/boardcfg/commissioning and is for development boards only.
BOARDCFG_RECIPE ??= ""
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

# The inserted line runs /sbin/ifconfig: busybox's, which this layer's
# busybox append turns on (5.2 "walnascar" and later leave it out).
RDEPENDS:${PN} += "busybox"
