# Sourced by the tests: the MAC setting's prefix, and the rewrite the tool makes.
# shellcheck shell=bash disable=SC2034
setting_prefix='pre-up /sbin/ifconfig eth0 hw ether '

# with_line FILE MAC: FILE with the setting for MAC after eth0's definition, the
# first line whose first two words are iface and eth0 (split at blanks and
# tabs, a CR before the newline counting as white space).
with_line() {
    awk -v line="$setting_prefix$2" '
        { print }
        !done { sub(/\r$/, ""); if ($1 == "iface" && $2 == "eth0") { print line; done = 1 } }
    ' "$1"
}
