# Sourced by the tests: the MAC setting's prefix, the rewrite the tool makes,
# and interfaces files to make it on.
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

# random_interfaces DIR COUNT: COUNT files, DIR/1 to DIR/COUNT, the same on
# every run, of lines from a pool of what trips a plain text search: comments,
# other interfaces named eth0..., blanks and tabs, CR LF, a stanza's own
# hwaddress, and Debian's stock source line.
random_interfaces() {
    local pool=('auto lo' 'iface lo inet loopback' 'auto eth0' 'allow-hotplug eth0' 'iface eth0 inet dhcp'
        'iface eth0 inet static' '    address 10.0.0.2/24' 'iface eth0.1 inet manual' 'iface eth01 inet manual'
        'iface eth0:1 inet manual' '# iface eth0 was here' '#iface eth0 inet dhcp' '' $'  iface\teth0 inet manual'
        'iface eth0 inet6 auto' 'iface eth1 inet dhcp' '    mtu 1400' $'iface eth0 inet dhcp\r' '# a comment'
        '    hwaddress ether 02:aa:bb:cc:dd:ee' '#hwaddress 02:aa:bb:cc:dd:ee' 'mapping eth1' 'allow-hotplug eth1'
        'source /etc/network/interfaces.d/*')
    local n lines i
    RANDOM=17
    mkdir -p "$1"
    # Drawn here, not in a subshell, which would draw from a seed of its own.
    for ((n = 1; n <= $2; n++)); do
        lines=$((RANDOM % 8 + 2))
        for ((i = 0; i < lines; i++)); do
            printf '%s\n' "${pool[RANDOM % ${#pool[@]}]}"
        done >"$1/$n"
    done
}
