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
