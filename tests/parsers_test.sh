#!/usr/bin/env bash
# The other parsers of /etc/network/interfaces that a Debian board may run
# instead of ifupdown: ifupdown2, ifupdown-ng, and busybox's ifup. Over many
# files, rewritten by the tool: every file a parser accepts with eth0 in it,
# it still accepts after the run, with the line under eth0. They run in a copy
# of the release's build chroot, never replacing this machine's ifupdown.
# usage: parsers_test.sh CMAKE BUILD_DIR SANDBOX SOURCE_DIR RELEASE
set -u
cmake=$1 build=$2 sandbox=$3 source=$4 release=$5
work=$(mktemp -d /var/tmp/parsers.XXXXXX)
trap 'rm -rf "$work"' EXIT
mac=02:1a:2b:3c:4d:5e
# shellcheck source=tests/setting.sh
. "$(dirname "$0")/setting.sh"
line=$setting_prefix$mac

# The files and what the tool made of them, side by side: N and N.out.
DESTDIR=$work/root "$cmake" --install "$build" --component tool >/dev/null || exit 1
DESTDIR=$work/root "$cmake" --install "$build" --component standin >/dev/null 2>&1
tool=$(find "$work/root" -name set_hwaddr -type f)
libdir=$(dirname "$(find "$work/root" "$build" -name libboardcfg.so | head -n 1)")
printf 'pcba_mac=%s\n' "$mac" >"$work/record"
random_interfaces "$work/pairs" 120
mkdir "$work/net"
# shellcheck disable=SC2016
BOARDCFG_RECORD=$work/record "$sandbox" "$work/net" bash -c '
    for file in "$2"/*; do
        cp "$file" /etc/network/interfaces
        $1 >/dev/null 2>&1 && cp /etc/network/interfaces "$file.out"
    done
' rewrite "env LD_LIBRARY_PATH=$libdir $tool" "$work/pairs"

# A layer of its own over the release's clean build chroot, with ifupdown2.
root=$work/layer/upper
mkdir -p "$root/etc/network/interfaces.d"
mv "$work/pairs" "$root/pairs"
# Each parser's verdict on each pair: ok, own (the file was left alone),
# rejected (the parser refused the original), or why not.
# shellcheck disable=SC2016
"$source/scripts/chroot" "$release" --with ifupdown2,libbsd0 "$work/layer" '
    set -e
    # ifupdown-ng and ifupdown2 exclude each other, and Debian builds ifup
    # into busybox-static only: those two unpacked. The layer keeps the lists
    # it was made with: fresh ones should the mirror have moved on since.
    cd /tmp
    apt-get download -qq ifupdown-ng busybox-static 2>/dev/null ||
        { apt-get update -qq && apt-get download -qq ifupdown-ng busybox-static 2>/dev/null; }
    dpkg -x ifupdown-ng_*.deb /opt/ng && dpkg -x busybox-static_*.deb /opt/bbs
    # Their places differ by release: /sbin or /usr/sbin, and trixie names
    # the command ifquery-ng.
    ng=$(ls /opt/ng/*sbin/ifquery-ng /opt/ng/*sbin/ifquery /opt/ng/usr/*sbin/ifquery-ng /opt/ng/usr/*sbin/ifquery \
        2>/dev/null | head -n 1)
    busybox=$(ls /opt/bbs/bin/busybox /opt/bbs/usr/bin/busybox 2>/dev/null | head -n 1)
    echo "versions: ifupdown2 $(dpkg-query -W -f="\${Version}" ifupdown2)," \
        "ifupdown-ng $(dpkg-deb -f /tmp/ifupdown-ng_*.deb Version), busybox $(dpkg-deb -f /tmp/busybox-static_*.deb Version)"
    set +e
    # shows PARSER FILE: what PARSER makes of eth0 in FILE, on success.
    shows() {
        case $1 in
        ifupdown2) ifquery -i "$2" eth0 2>/dev/null ;;
        ifupdown-ng) "$ng" -i "$2" eth0 2>/dev/null ;;
        # busybox prints what ifup would run, the line among it.
        busybox) "$busybox" ifup -n -v -f -i "$2" eth0 2>&1 ;;
        esac
    }
    # verdicts PARSER: its verdict on every file the tool rewrote or left
    # alone; the files it refused, for want of eth0, are left out. A result
    # taken with the line under eth0 is good whatever the parser made of the
    # original, which is asked only otherwise: each ifupdown2 call costs a
    # start of Python.
    verdicts() {
        local status
        for file in /pairs/*.out; do
            file=${file%.out}
            if cmp -s "$file" "$file.out"; then
                shows "$1" "$file" >/dev/null && echo "$1 own" || echo "$1 rejected $file"
                continue
            fi
            shows "$1" "$file.out" >"/tmp/shown-$1"
            status=$?
            if [ "$status" = 0 ] && grep -qF "$line" "/tmp/shown-$1"; then
                echo "$1 ok"
            elif ! shows "$1" "$file" >/dev/null; then
                echo "$1 rejected $file"
            elif [ "$status" != 0 ]; then
                echo "$1 $file: rejects the result"
            else
                echo "$1 $file: no line under eth0"
            fi
        done
    }
    # ifupdown2 starts Python at every call: the other two meanwhile.
    line=${1#pre-up }
    verdicts ifupdown2 >/tmp/verdicts-ifupdown2 &
    verdicts ifupdown-ng
    verdicts busybox
    wait
    cat /tmp/verdicts-ifupdown2
' "$line" >"$work/verdicts" 2>&1

passed=0 failed=0
grep '^versions:' "$work/verdicts" || { cat "$work/verdicts"; exit 1; }
for parser in ifupdown2 ifupdown-ng busybox; do
    ok=$(grep -c "^$parser ok$" "$work/verdicts") own=$(grep -c "^$parser own$" "$work/verdicts")
    rejected=$(grep "^$parser rejected " "$work/verdicts" | cut -d' ' -f3)
    # What the parser refused, by what the file holds.
    with_source=0 with_cr=0
    for file in $rejected; do
        grep -q '^source ' "$root$file" && with_source=$((with_source + 1))
        grep -q $'\r' "$root$file" && with_cr=$((with_cr + 1))
    done
    echo "$parser: $ok rewritten and accepted, $own left alone; $(wc -w <<<"$rejected") refused before the run" \
        "($with_source with a source line, $with_cr with CR LF)"
    if [ "$ok" -ge 5 ] && ! grep "^$parser /" "$work/verdicts"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $parser: at least 5 files rewritten and accepted wanted, and no failure"
        grep "^$parser /" "$work/verdicts" | cut -d' ' -f2 | tr -d : | head -n 3 |
            while read -r file; do cat -A "$root$file"; echo "--- after"; cat -A "$root$file.out"; done
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
