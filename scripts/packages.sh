#!/usr/bin/env bash
# Installs the Debian packages the program and its tests need, once: when every one of
# them is already there, apt-get is not run at all.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql qt6-translations-l10n qt6-pdf-dev qt6-image-formats-plugins
  fonts-arphic-uming fonts-wqy-zenhei
  libfreexl-dev libsqlite3-dev libpq-dev libopencv-dev
)
if [ "${1:-}" = "--package" ]; then
  packages+=(dpkg-dev file)
fi
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    cups printer-driver-cups-pdf poppler-utils
    python3 python3-xlrd libspreadsheet-writeexcel-perl libspreadsheet-parseexcel-perl
    xvfb xauth postgresql
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
