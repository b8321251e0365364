#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Korvane need,
# only when some of them are missing.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libsqlite3-dev unixodbc-dev tdsodbc libsqliteodbc
  # the export tests read the workbooks we write back with a reader not our own
  libfreexl-dev
  # the engine's decimal tests check against exact integers
  libgmp-dev
  # the program's allocator
  libmimalloc-dev
  # the stand-in ERP's password hashes
  libsodium-dev
  fonts-wqy-microhei libgtest-dev libgmock-dev
  xvfb xauth
  # the demo script will not remove an account set a program has open (fuser)
  psmisc
  # the shell opens the user manual (F1) with the desktop's PDF viewer
  xdg-utils mupdf
  # the manual's test reads the PDF's text back
  poppler-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# On a fresh machine another package-manager run (the first automatic updates)
# often holds the locks: wait for it, up to this many seconds, instead of
# failing at once.
lock_wait="${DEPS_LOCK_WAIT:-900}"
retry_pause="${DEPS_RETRY_PAUSE:-5}"
apt_options=(-o "DPkg::Lock::Timeout=$lock_wait")
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# apt-get waits for the dpkg lock by itself with the time-out above, but
# "update" does not wait for the lock of the package lists: try again while
# another run holds a lock.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
run_apt() {
  local waited=0 status
  while :; do
    status=0
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${apt_options[@]}" "$@" 2>&1 | tee "$log" || status=$?
    [ "$status" -eq 0 ] && return 0
    if ! grep -q "Could not get lock" "$log" || [ "$waited" -ge "$lock_wait" ]; then
      return "$status"
    fi
    echo "Waiting for another package-manager run to release its lock..." >&2
    sleep "$retry_pause"
    waited=$((waited + retry_pause))
  done
}

echo "Installing: ${missing[*]}"
run_apt update -qq
run_apt install -y -qq "${missing[@]}"
