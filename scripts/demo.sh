#!/usr/bin/env bash
# Builds Korvane and starts it on the embedded demo account set, logged in as
# the planner plan01 (silent login). Options:
#   --fresh        make a new demo account set (the old one is removed)
#   --user NO      log in silently as another demo user (admin, plan01, buy01)
#   --interactive  show the ERP login dialog instead (password of every demo user: 123)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVANE_BUILD_DIR:-$root/build}"
user=plan01
fresh=0
while [ $# -gt 0 ]; do
  case "$1" in
    --fresh) fresh=1 ;;
    --user) user="$2"; shift ;;
    --interactive) user="" ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
bash "$root/scripts/build.sh"
db="$build/demo/demo.kvdb"
mkdir -p "$build/demo"
if [ "$fresh" = 1 ]; then
  # never removed under a program that has it open: its work would go into deleted files
  if fuser -s "$db" "$db-wal" "$db-shm" 2>/dev/null; then
    echo "The demo account set $db is open in another program (Korvane, korvane-sql): close it first." >&2
    exit 1
  fi
  rm -f "$db" "$db-wal" "$db-shm"
fi
[ -f "$db" ] || "$build/bin/korvane-newdb" "$db"
"$build/bin/korvane-demo-login" "$build/bin" "$db" "$user"
exec "$build/bin/Korvane"
