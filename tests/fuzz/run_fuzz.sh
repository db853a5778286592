#!/bin/sh
# Builds the hive parser's fuzz target with clang and runs it for a bounded time.
# Usage: run_fuzz.sh CLANGXX OUTDIR SECONDS
set -eu
clangxx=$1
out=$2
seconds=$3
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../../src" && pwd)
mkdir -p "$out/corpus"
# The caller may pass a folder relative to where it stands; the run changes into it.
out=$(cd "$out" && pwd)
"$clangxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$src" -I"$src/platform" \
  "$here/hive_fuzz.cpp" "$src/platform/registry/hive_format.cpp" "$src/platform/registry/hive_tree.cpp" \
  -o "$out/hive_fuzz"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n"Frequency"=dword:00000096\n"DirectX"=hex(1):79\n@="x \\"q\\" \\\\"\n"b"=hex:01,02,\\\n  03\n[-HKCU\\A]\n"d"=-\n' \
  > "$out/corpus/seed.reg"
cd "$out"
status=0
"$out/hive_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 "$out/corpus" \
  >"$out/fuzz.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then cat "$out/fuzz.log"; else grep -E '^(Done|stat::)' "$out/fuzz.log"; fi
exit "$status"
