#!/bin/sh
# Builds a fuzz target with clang and runs it for a bounded time: the hive
# parser (hive, the default) or the bitmap file reader (bitmap).
# Usage: run_fuzz.sh CLANGXX OUTDIR SECONDS [hive|bitmap]
set -eu
clangxx=$1
out=$2
seconds=$3
target=${4:-hive}
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../../src" && pwd)
corpus=corpus
[ "$target" = hive ] || corpus=corpus-$target
mkdir -p "$out/$corpus"
# The caller may pass a folder relative to where it stands; the run changes into it.
out=$(cd "$out" && pwd)
corpus=$out/$corpus
if [ "$target" = bitmap ]; then
  gdi=$src/platform/gdi
  # shellcheck disable=SC2046  # Qt's flags are separate words
  "$clangxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fPIC \
    -I"$src" -I"$src/platform" "$here/bitmap_fuzz.cpp" "$src/platform/ddraw/bitmap_file.cpp" "$gdi"/*.cpp \
    $(pkg-config --cflags --libs Qt6Gui) -o "$out/bitmap_fuzz"
  # A 2 x 2 picture, 24 bits a pixel.
  printf '\102\115\106\0\0\0\0\0\0\0\66\0\0\0\50\0\0\0\2\0\0\0\2\0\0\0\1\0\30\0\0\0\0\0\20\0\0\0\23\13\0\0\23\13\0\0\0\0\0\0\0\0\0\0\377\0\0\0\377\0\0\0\0\0\377\377\377\377\0\0' \
    > "$corpus/seed.bmp"
else
"$clangxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$src" -I"$src/platform" \
  "$here/hive_fuzz.cpp" "$src/platform/registry/hive_format.cpp" "$src/platform/registry/hive_tree.cpp" \
  -o "$out/hive_fuzz"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n"Frequency"=dword:00000096\n"DirectX"=hex(1):79\n@="x \\"q\\" \\\\"\n"b"=hex:01,02,\\\n  03\n[-HKCU\\A]\n"d"=-\n' \
  > "$corpus/seed.reg"
fi
cd "$out"
status=0
log=$out/${target}_fuzz.log
"$out/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 "$corpus" \
  >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then cat "$log"; else grep -E '^(Done|stat::)' "$log"; fi
exit "$status"
