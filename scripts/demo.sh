#!/usr/bin/env bash
# Builds Korvane and starts it on the embedded demo account set.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVANE_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
exec "$build/bin/Korvane" "$@"
