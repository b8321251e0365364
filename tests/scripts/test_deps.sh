#!/usr/bin/env bash
# scripts/deps.sh against stand-in dpkg-query, apt-get and sudo: every package
# counts as missing, and apt-get answers as a machine whose locks another
# package-manager run holds for a while.
set -u
deps="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
exit 1
SH
cat >"$work/bin/sudo" <<'SH'
#!/usr/bin/env bash
exec "$@"
SH
# FAKE_LOCKED: how many calls fail with a lock message first;
# FAKE_FAIL: a failure of another kind on every call.
cat >"$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "$*" >>"$FAKE_LOG"
n=$(wc -l <"$FAKE_LOG")
if [ -n "${FAKE_FAIL:-}" ]; then
  echo "E: $FAKE_FAIL"; exit 100
fi
if [ "$n" -le "${FAKE_LOCKED:-0}" ]; then
  echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)"; exit 100
fi
exit 0
SH
chmod +x "$work/bin/"*

failures=0
run() { # name, expected status, then env assignments
  local name="$1" expected="$2"; shift 2
  : >"$work/log"
  env PATH="$work/bin:$PATH" FAKE_LOG="$work/log" DEPS_RETRY_PAUSE=0 "$@" bash "$deps" >"$work/out" 2>&1
  local status=$?
  if { [ "$expected" = 0 ] && [ "$status" -ne 0 ]; } || { [ "$expected" != 0 ] && [ "$status" -eq 0 ]; }; then
    echo "FAIL $name: exit status $status"; cat "$work/out"; failures=$((failures + 1))
  fi
}
expect_calls() { # name, expected number of apt-get calls
  local calls; calls=$(wc -l <"$work/log")
  if [ "$calls" -ne "$2" ]; then
    echo "FAIL $1: $calls apt-get calls, expected $2"; cat "$work/log"; failures=$((failures + 1))
  fi
}

# Every apt-get run waits for the dpkg lock.
run "lock time-out" 0 DEPS_LOCK_WAIT=77
expect_calls "lock time-out" 2
if grep -vq -- "-o DPkg::Lock::Timeout=77" "$work/log"; then
  echo "FAIL lock time-out: an apt-get call without the lock time-out"; cat "$work/log"; failures=$((failures + 1))
fi
grep -q "^-o DPkg::Lock::Timeout=77 install -y -qq g++ " "$work/log" || { echo "FAIL install line"; cat "$work/log"; failures=$((failures + 1)); }

# The package lists' lock held for two tries: the update is tried again, then the install runs.
run "lists locked" 0 FAKE_LOCKED=2
expect_calls "lists locked" 4
grep -q "Waiting for another package-manager run" "$work/out" || { echo "FAIL lists locked: no waiting message"; failures=$((failures + 1)); }

# A lock held longer than the wait: the script gives up with the error.
run "lock never released" 1 FAKE_LOCKED=1000 DEPS_LOCK_WAIT=0
expect_calls "lock never released" 1
grep -q "Could not get lock" "$work/out" || { echo "FAIL lock never released: error not shown"; failures=$((failures + 1)); }

# Any other failure stops at once.
run "other failure" 1 FAKE_FAIL="Unable to locate package"
expect_calls "other failure" 1

[ "$failures" -eq 0 ] && echo "deps.sh: all cases passed"
exit "$failures"
