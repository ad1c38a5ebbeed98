#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Rigwright need, when any is
# missing. Safe to run again: it does nothing when everything is there.
#   scripts/ensure-packages.sh              the packages of the Linux build
#   scripts/ensure-packages.sh --fuzz       those and clang with its fuzzer and sanitizer runtimes
#   scripts/ensure-packages.sh <pkg>...     these packages instead
set -euo pipefail

packages=(
  g++ cmake ninja-build pkgconf
  libcrypto++-dev libjsoncpp-dev zlib1g-dev libdeflate-dev
  libgtest-dev libgmock-dev
  libwxgtk3.2-dev
  openssl gzip
  libx11-dev xvfb xauth procps openbox
)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang-14 libclang-rt-14-dev)
elif [ $# -gt 0 ]; then
  packages=("$@")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
