#!/usr/bin/env bash
# Plants each fault of tests/planted-faults.txt in turn, rebuilds, runs the
# tests named for it and says whether they went red, then takes the fault out
# again. Usage: tests/plant-faults.sh [NUMBER...] (all when none is given).
# BUILD names the build folder (default: build). Never run it with uncommitted
# changes to the files it plants in: it restores them with git.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
list=$root/tests/planted-faults.txt
export QT_QPA_PLATFORM=offscreen

caught=0
missed=0
n=0
while IFS=$'\t' read -r file substitution tests what; do
    [[ -z "$file" || "$file" == \#* ]] && continue
    n=$((n + 1))
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$n"; then
        continue
    fi
    cd "$root" || exit 2
    perl -0pi -e "$substitution" "$file"
    if git diff --quiet -- "$file"; then
        echo "$n NOT PLANTED ($file): $what"
        missed=$((missed + 1))
        continue
    fi
    if ! cmake --build "$build" >/dev/null 2>&1; then
        echo "$n DOES NOT BUILD ($file): $what"
        missed=$((missed + 1))
    elif ctest --test-dir "$build" -R "$tests" --timeout 300 >/dev/null 2>&1; then
        echo "$n MISSED by $tests: $what"
        missed=$((missed + 1))
    else
        echo "$n caught by $tests: $what"
        caught=$((caught + 1))
    fi
    git checkout -q -- "$file"
done <"$list"
cmake --build "$build" >/dev/null 2>&1
echo "planted faults: $caught caught, $missed missed"
[ "$missed" -eq 0 ]
