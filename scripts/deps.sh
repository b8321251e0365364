#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Korvane need,
# only when some of them are missing.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libsqlite3-dev unixodbc-dev tdsodbc libsqliteodbc libfreexl-dev
  # the engine's decimal tests check against exact integers
  libgmp-dev
  # the program's allocator
  libmimalloc-dev
  fonts-wqy-microhei libgtest-dev libgmock-dev
  xvfb xauth
  # the demo script will not remove an account set a program has open (fuser)
  psmisc
  # the shell opens the user manual (F1) with the desktop's PDF viewer
  xdg-utils mupdf
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
