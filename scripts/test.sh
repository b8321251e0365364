#!/usr/bin/env bash
# Builds everything and runs every test (headless).
#
#   scripts/test.sh                      all tests, build/ (or $KORVANE_BUILD_DIR)
#   scripts/test.sh --sanitize [-R RE]   the tests (those matching RE) built and run
#                                        under AddressSanitizer and UndefinedBehavior-
#                                        Sanitizer in build-asan/ (or $KORVANE_ASAN_DIR);
#                                        only the programs those tests need are built
# KORVANE_JOBS sets how many compilers and tests run at once (default: the cores).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${KORVANE_JOBS:-$(nproc)}"   # parallel builds and tests

if [[ "${1:-}" != "--sanitize" ]]; then
  build="${KORVANE_BUILD_DIR:-$root/build}"
  bash "$root/scripts/build.sh"
  cd "$build"
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
  exit 0
fi

shift
select=()
if [[ "${1:-}" == "-R" && -n "${2:-}" ]]; then
  select=(-R "$2")
  shift 2
fi
if [[ $# -gt 0 ]]; then
  echo "usage: scripts/test.sh [--sanitize [-R REGEX]]" >&2
  exit 2
fi
build="${KORVANE_ASAN_DIR:-$root/build-asan}"
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_SANITIZE=ON >/dev/null
cd "$build"
# Each test is run by the program of its own name, where it has one (a script
# test has none: it needs nothing built here).
mapfile -t tests < <(ctest -N "${select[@]}" | sed -n 's/^ *Test *#[0-9]*: *\([A-Za-z0-9_.-]*\)$/\1/p')
if [[ ${#tests[@]} -eq 0 ]]; then
  echo "no test matches ${select[*]}" >&2
  exit 2
fi
mapfile -t known < <(cmake --build "$build" --target help | sed -n 's/^\([A-Za-z0-9_.-]*\): .*/\1/p')
targets=()
for t in "${tests[@]}"; do
  if printf '%s\n' "${known[@]}" | grep -qx -- "$t"; then targets+=("$t"); fi
done
if [[ ${#targets[@]} -gt 0 ]]; then
  cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"
fi
# Leaks are not looked for: the GUI libraries keep caches until the process ends.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$jobs" "${select[@]}"
