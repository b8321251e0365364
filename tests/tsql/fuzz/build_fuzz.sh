#!/usr/bin/env bash
# Builds and runs the engine fuzzer for a while: bash build_fuzz.sh [seconds]
# The fuzzer is a target of the project (KORVANE_FUZZ=ON) made from the engine
# library's own source list, in a clang build folder of its own (FUZZ_OUT,
# /tmp/kv_fuzz by default; its corpus grows there from the seeds beside this script).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
out="${FUZZ_OUT:-/tmp/kv_fuzz}"
mkdir -p "$out/corpus"
cp -n "$here"/seeds/* "$out/corpus/" 2>/dev/null || true
if [ ! -f "$out/build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVANE_FUZZ=ON >/dev/null
fi
cmake --build "$out/build" --target fuzz_tsql -j "${FUZZ_JOBS:-2}"
"$out/build/bin/fuzz_tsql" -max_total_time="${1:-120}" -max_len=512 -timeout=5 -artifact_prefix="$out/" "$out/corpus"
