# Sourced by the board's tests: counts checks and closes with the tally.
passed=0 failed=0

# check NAME COMMAND...: COMMAND succeeds. A failure names $case too, when set.
check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL ${case:+$case: }$name"
    fi
}

# tally: the closing line, and the status of the whole test.
tally() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
}

# packages DEBS: the two packages a board gets, from the folder scripts/package
# filled (not their -dbgsym packages).
packages() { echo "$1"/set-hwaddr_*_armhf.deb "$1"/libboardcfg-standin_*_armhf.deb; }
