#!/usr/bin/env bash
# The static analysers, each to 0 findings: clang-tidy with the tree's
# .clang-tidy and cppcheck over the C++ (the tool, the stand-in, the tests'
# own programs), shellcheck over every shell script. Suppressions are inline,
# each with its reason.
# usage: analysis_test.sh SOURCE_DIR BUILD_DIR   (BUILD_DIR: compile_commands.json)
set -u
source=$1 build=$2
passed=0 failed=0
cd "$source" || exit 1

# outcome NAME OUTPUT: passes when the analyser printed nothing.
outcome() {
    if [ -z "$2" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $1: $(grep -c . <<<"$2") lines"
        head -n 40 <<<"$2"
    fi
}

built=(src/*.cpp src/commissioning/*.cpp boardcfg-standin/*.cpp tests/*.cpp)
# The fuzzers are built by the sanitized build only: their flags are given here.
fuzzers=(tests/fuzz/*.cpp)
cxx=("${built[@]}" "${fuzzers[@]}")
outcome clang-tidy "$({
    clang-tidy -p "$build" --quiet "${built[@]}"
    clang-tidy --quiet "${fuzzers[@]}" -- -std=c++20 -Isrc
} 2>/dev/null | grep -E '(warning|error):')"
outcome cppcheck "$(cppcheck --quiet --enable=warning,style,performance,portability --inline-suppr \
    --error-exitcode=0 --std=c++20 --language=c++ -I src "${cxx[@]}" 2>&1)"

# Every script with a shell's #! line, the init script, and the sourced helpers.
mapfile -t scripts < <(
    find .ci board scripts tests bench sysvinit -type f ! -path '*/corpus/*' | sort | while read -r file; do
        case $file in
        *.sh | */set-hwaddr.in) echo "$file" ;;
        *) head -n 5 "$file" | grep -qE '^#! ?/(usr/)?bin/(env )?(ba)?sh|^# shellcheck shell=' && echo "$file" ;;
        esac
    done
)
outcome shellcheck "$(shellcheck -x -P SCRIPTDIR -f gcc "${scripts[@]}" 2>&1)"
echo "${#cxx[@]} C++ files, ${#scripts[@]} shell scripts"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
