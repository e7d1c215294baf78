#!/usr/bin/env bash
# What the suite must leave as it found: the machine's /etc, /usr/local and
# systemd's folder. "save FILE" lists them before the tests, once the packages
# they need are installed; "check FILE" compares, naming what changed.
# A directory's own time is left out: only what it holds counts.
# usage: host_check.sh save|check FILE
set -eu
places=(/etc /usr/local /usr/lib/systemd)
listing() {
    find "${places[@]}" -xdev \( -type d -printf '%p d\n' \) -o -printf '%p %y %s %T@ %l\n' | sort
}
case $1 in
save) listing >"$2" ;;
check)
    if ! listing | diff "$2" - >"$2.changes"; then
        echo "FAIL the run changed the machine under ${places[*]} (< before, > after):"
        cat "$2.changes"
        exit 1
    fi
    echo "the machine's ${places[*]} as before the run"
    ;;
*) echo "usage: host_check.sh save|check FILE" >&2; exit 2 ;;
esac
