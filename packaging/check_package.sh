#!/usr/bin/env bash
# check_package.sh BUILD_DIR FOLDER EMULATOR...: makes the release package
# from BUILD_DIR and unzips it into FOLDER afresh, then checks it from
# outside: the zip holds exactly the listed files in their order,
# SHA256SUMS verifies, the readme is Windows text naming the version, and
# the console program run by EMULATOR prints the version. package_test then
# looks inside the programs in FOLDER.
set -euo pipefail
build=$1 folder=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
# unzip and sort handle the UTF-8 names as text, not bytes.
export LC_ALL=C.UTF-8
fail() { echo "check_package.sh: $*" >&2; exit 1; }

zip=$(bash "$root/scripts/package.sh" "$build")
version=$(sed -n 's/^#define LV_VERSION "\(.*\)"$/\1/p' "$build/generated/lumivant_version.h")
[ "$(basename "$zip")" = "lumivant-$version-windows-x64.zip" ] || fail "the package is $zip"

listed=$(unzip -Z1 "$zip")
expected=$(printf '%s\n' Lumivant.exe lumivant-cli.exe '说明 README.txt' SHA256SUMS)
[ "$listed" = "$expected" ] || fail $'the zip holds\n'"$listed"$'\ninstead of\n'"$expected"

rm -rf "$folder"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
unzipped=$(cd "$folder" && find . -type f -printf '%P\n' | sort)
[ "$unzipped" = "$(sort <<<"$expected")" ] || fail $'unzipping gave\n'"$unzipped"
(cd "$folder" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS does not verify"

readme="$folder/说明 README.txt"
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "the readme has no UTF-8 byte order mark"
if grep -q -v $'\r$' "$readme"; then fail "a readme line does not end in CRLF"; fi
grep -q "Lumivant $version"$'\r'"$" "$readme" || fail "the readme does not name version $version"

printed=$("$@" "$folder/lumivant-cli.exe" --version | tr -d '\r')
[ "$printed" = "lumivant-cli $version" ] || fail "lumivant-cli --version printed '$printed'"
