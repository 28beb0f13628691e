#!/usr/bin/env bash
# package.sh [BUILD_DIR]: builds the programs and makes the release a Windows
# user downloads, dist/lumivant-<version>-windows-x64.zip: the programs (the
# release build links them stripped), 说明 README.txt (UTF-8 with a byte
# order mark and CRLF line ends, so that Notepad on any Windows reads it) and
# SHA256SUMS of those files.
#
# BUILD_DIR is a release build for mingw, build/windows from the windows
# preset by default. The entries' time is SOURCE_DATE_EPOCH when set, else
# the time of the commit checked out, so the zip depends on the commit alone.
# Prints the zip's path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/windows}
case $build in /*) ;; *) build=$root/$build ;; esac
readme='说明 README.txt'
programs=(Lumivant.exe lumivant-cli.exe)
targets=(Lumivant lumivant-cli)

bash scripts/deps.sh >&2
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  [ "$build" = "$root/build/windows" ] || { echo "package.sh: $build is not configured" >&2; exit 1; }
  cmake --preset windows >/dev/null
fi
if ! grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$build/CMakeCache.txt"; then
  echo "package.sh: $build is not a release build" >&2
  exit 1
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >&2
version=$(sed -n 's/^#define LV_VERSION "\(.*\)"$/\1/p' "$build/generated/lumivant_version.h")
[ -n "$version" ] || { echo "package.sh: no version in $build/generated/lumivant_version.h" >&2; exit 1; }

stage=$build/package
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
installed=$(cd "$stage" && find . -type f -printf '%P\n' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${programs[@]}" | LC_ALL=C sort)
if [ "$installed" != "$wanted" ]; then
  printf 'package.sh: the install holds\n%s\nbut the package lists\n%s\n' "$installed" "$wanted" >&2
  exit 1
fi

{ printf '\xef\xbb\xbf'; sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/readme.txt; } >"$stage/$readme"
(cd "$stage" && sha256sum -- "${programs[@]}" "$readme" >SHA256SUMS)

mkdir -p dist
zip=dist/lumivant-$version-windows-x64.zip
rm -f "$zip"
python3 packaging/zip_release.py "$zip" "$SOURCE_DATE_EPOCH" "$stage" "${programs[@]}" "$readme" SHA256SUMS
echo "$root/$zip"
