#!/usr/bin/env bash
# The installed tool with the real network stack: in a sandbox with its own
# network namespace, where one end of a veth pair is eth0, ifup must bring eth0
# up with the PCBA MAC, and a second run must not double the setting.
# usage: e2e_test.sh CMAKE BUILD_DIR SANDBOX; EMULATOR, when set, runs the tool.
set -u
cmake=$1 build=$2 sandbox=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mac=02:1a:2b:3c:4d:5e
# shellcheck source=tests/setting.sh
. "$(dirname "$0")/setting.sh"
# How ifquery shows the setting: the option's name, a colon, its value.
shown="pre-up: ${setting_prefix#pre-up }$mac"

# In a folder of its own: the init script's place is absolute, whatever the prefix.
DESTDIR=$work/root "$cmake" --install "$build" >/dev/null || exit 1
tool=$(find "$work/root" -name set_hwaddr -type f)
# A tool built for /usr has no search path of its own: the system's finds the library.
libdir=$(dirname "$(find "$work/root" -name libboardcfg.so)")
printf 'pcba_mac=%s\n' "$mac" >"$work/record"
mkdir -p "$work/net"/if-{pre-up,up,down,post-down}.d "$work/state"
printf 'auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet manual\n' >"$work/net/interfaces"

# Prints one word per step, compared below as a whole.
# The inner scripts' $1, $2... are their own arguments.
# shellcheck disable=SC2016
BOARDCFG_RECORD=$work/record "$sandbox" "$work/net" unshare --net bash -c '
    tool=$1 state=$2 mac=$3 shown=$4
    ifup=(ifup --state-dir "$state")
    link_mac() { ip -o link show eth0 | grep -o "link/ether [^ ]*" | cut -d" " -f2; }
    settings() { ifquery --state-dir "$state" eth0 | grep -cxF "$shown"; }

    ip link add eth0 type veth peer name peer0
    [ "$(link_mac)" != "$mac" ] && echo random-mac
    $tool >/dev/null && echo inserted
    "${ifup[@]}" eth0 && echo up
    [ "$(link_mac)" = "$mac" ] && echo pcba-mac
    echo "settings=$(settings)"
    ifdown --state-dir "$state" eth0 && ip link set eth0 address 02:00:00:00:00:01
    $tool >/dev/null 2>&1 && echo left-alone
    "${ifup[@]}" eth0 && echo up-again
    [ "$(link_mac)" = "$mac" ] && echo pcba-mac-again
    echo "settings=$(settings)"
' e2e "env LD_LIBRARY_PATH=$libdir ${EMULATOR:-} $tool" "$work/state" "$mac" "$shown" >"$work/steps" 2>"$work/err"

passed=0 failed=0
want='random-mac inserted up pcba-mac settings=1 left-alone up-again pcba-mac-again settings=1'
got=$(tr '\n' ' ' <"$work/steps")
if [ "${got% }" = "$want" ]; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "FAIL steps: got '${got% }', want '$want'"
    cat "$work/err"
fi

# Over many files: whatever ifupdown accepts and defines eth0 in, it still
# accepts after the run, with the line under eth0; unless ifupdown gives eth0 a
# hwaddress of the file's own, which would win over the line: then the file
# stays as it was.
random_interfaces "$work/files" 300
# shellcheck disable=SC2016
BOARDCFG_RECORD=$work/record "$sandbox" "$work/net" bash -c '
    tool=$1 files=$2 shown=$3
    for file in "$files"/*; do
        cp "$file" /etc/network/interfaces
        ifquery --list >/dev/null 2>&1 || continue
        ifquery eth0 >/dev/null 2>&1 || continue
        if ifquery eth0 | grep -q "^hwaddress:"; then
            if ! $tool >/dev/null 2>&1 || ! cmp -s "$file" /etc/network/interfaces; then
                echo "$file: its own hwaddress, and the tool changed it or failed"
            else
                echo own
            fi
        elif ! $tool >/dev/null 2>&1; then
            echo "$file: the tool failed"
        elif ! ifquery --list >/dev/null 2>&1; then
            echo "$file: ifquery rejects the result"
        elif ! ifquery eth0 | grep -qxF "$shown"; then
            echo "$file: no line under eth0"
        else
            echo ok
        fi
    done
' property "env LD_LIBRARY_PATH=$libdir ${EMULATOR:-} $tool" "$work/files" "$shown" \
    >"$work/property" 2>&1
accepted=$(grep -c '^ok$' "$work/property") own=$(grep -c '^own$' "$work/property")
if [ "$accepted" -ge 100 ] && [ "$own" -ge 10 ] && ! grep -v -e '^ok$' -e '^own$' "$work/property"; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "FAIL property: $accepted files rewritten and $own left alone, at least 100 and 10 wanted"
    grep -v -e '^ok$' -e '^own$' "$work/property" | cut -d: -f1 | head -n 3 | xargs -r cat -A
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
