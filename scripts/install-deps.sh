#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing
# when all of them are there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev
  libgmime-3.0-dev libcli11-dev libfmt-dev
  # xmllint: the ribbon tests validate the markup against Office's schemas.
  libxml2-utils
  # The Windows add-in: cross compilers, widl, and Wine with a virtual display
  # to run it. 64-bit Wine only: the i386 architecture is not added here.
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 mingw-w64-tools
  wine64 xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
