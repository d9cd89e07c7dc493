#!/usr/bin/env bash
# Installs the Debian packages Tivrel needs to build, run and test, if any
# is missing. Uses sudo when not run as root. Extra package names may be
# given as arguments (the sanitizer and fuzzing build asks for clang's).
set -euo pipefail

packages=(cmake make g++ qt6-base-dev libqt6test6 libgl-dev fontconfig fonts-dejavu-core pkg-config libhts-dev
  libisal-dev libzstd-dev desktop-file-utils groff-base "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
