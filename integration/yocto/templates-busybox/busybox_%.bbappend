# The tool's inserted line runs /sbin/ifconfig with "hw ether". Since 5.2
# "walnascar" busybox's default configuration leaves ifconfig out, and
# net-tools installs it in /bin, not /sbin.
FILESEXTRAPATHS:prepend := "${THISDIR}/busybox:"
SRC_URI += "file://ifconfig.cfg"
