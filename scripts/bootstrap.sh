#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test the program.
# Idempotent: returns quickly when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  libx11-dev libxtst-dev libxkbfile-dev libfontconfig-dev
  xvfb x11-xkb-utils xauth
  fonts-dejavu-core
  qt6-translations-l10n
  desktop-file-utils
)
# The fuzz targets need clang (libFuzzer); only for the fuzz step of CI.
[ -n "${TERVA_FUZZ_TOOLS:-}" ] && packages+=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
