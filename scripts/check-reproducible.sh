#!/usr/bin/env bash
# check-reproducible.sh [COMMIT]: shows that two clean builds of one commit
# (HEAD when none is given) make the same release zip, byte for byte.
#
# Exports the commit twice, into folders of different names and depths under
# build/reproducible, makes the package in each with scripts/package.sh from
# an empty build folder, and compares the two zips. A build path, a time
# stamp or an unordered list anywhere in the zip shows up as a difference.
# Prints both checksums; exits non-zero, naming the entries that differ,
# when the zips are not identical.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH

work=$root/build/reproducible
rm -rf "$work"
trees=("$work/a" "$work/second build/lumivant $commit")
zips=()
for tree in "${trees[@]}"; do
  mkdir -p "$tree"
  git archive "$commit" | tar -x -C "$tree"
  echo "building $commit in $tree" >&2
  if ! zip=$(bash "$tree/scripts/package.sh" 2>"$tree.log"); then
    cat "$tree.log" >&2
    exit 1
  fi
  zips+=("$zip")
done

sha256sum "${zips[@]}"
if cmp -s "${zips[0]}" "${zips[1]}"; then
  echo "identical: two builds of $commit give the same $(basename "${zips[0]}")"
else
  echo "DIFFERENT: two builds of $commit give different zips; entries:" >&2
  diff <(unzip -v "${zips[0]}" | sed 1d) <(unzip -v "${zips[1]}" | sed 1d) >&2 || true
  exit 1
fi
