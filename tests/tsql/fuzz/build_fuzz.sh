#!/usr/bin/env bash
# Builds and runs the engine fuzzer for a while: bash build_fuzz.sh [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
src="$here/../../../platform/tsql"
dec="$here/../../../platform/decimal"
out="${FUZZ_OUT:-/tmp/kv_fuzz}"
mkdir -p "$out/corpus"
cp -n "$here"/seeds/* "$out/corpus/" 2>/dev/null || true
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fPIC \
  $(pkg-config --cflags Qt6Core) -I"$src" -I"$dec" \
  "$here/fuzz_tsql.cpp" "$src"/Lexer.cpp "$src"/Parser.cpp "$src"/Translator.cpp "$src"/Functions.cpp "$src"/Engine.cpp \
  "$dec"/Decimal.cpp "$dec"/SqliteFunctions.cpp \
  $(pkg-config --libs Qt6Core) -lsqlite3 -o "$out/fuzz_tsql"
"$out/fuzz_tsql" -max_total_time="${1:-120}" -max_len=512 -timeout=5 "$out/corpus"
