#!/usr/bin/env bash
# Installs what building, running and testing Lumivant needs on Debian 12.
# Quick when everything is already there. `deps.sh fuzz` adds clang and its
# libFuzzer for scripts/fuzz.sh.
set -euo pipefail

packages=(
  cmake g++ make python3 googletest libbenchmark-dev
  g++-mingw-w64-x86-64 mingw-w64
  wine wine64 xvfb xauth xdotool x11-utils imagemagick fonts-wqy-microhei
  locales curl nginx unzip
)
if [ "${1:-}" = fuzz ]; then packages+=(clang libclang-rt-14-dev); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes the ANSI code page from the locale: zh_CN.UTF-8 gives 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
