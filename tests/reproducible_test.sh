#!/usr/bin/env bash
# A package built twice from the same tree, the second time from a copy in
# another folder that is no git checkout, and at another time, is the same byte
# for byte; otherwise diffoscope says where not.
# usage: reproducible_test.sh PACKAGE_SCRIPT DEBS RELEASE   (DEBS: the first build)
set -u
package=$1 first=$2 release=$3
second=$(mktemp -d /var/tmp/reproducible.XXXXXX)
trap 'rm -rf "$second"' EXIT
passed=0 failed=0

source=$(cd "$(dirname "$package")/.." && pwd)
mkdir "$second/tree"
tar -C "$source" --exclude=./.git --exclude=./build -cf - . | tar -C "$second/tree" -xf -
"$second/tree/scripts/package" --release "$release" "$second/elsewhere" >/dev/null || exit 1
for deb in "$first"/*.deb; do
    name=$(basename "$deb")
    echo "$(sha256sum <"$deb" | cut -c1-64) $name"
    if cmp -s "$deb" "$second/elsewhere/$name"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name differs: $(sha256sum <"$second/elsewhere/$name" | cut -c1-64) the second time"
        diffoscope --no-progress --text - "$deb" "$second/elsewhere/$name" | head -n 60
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
