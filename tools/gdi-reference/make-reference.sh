#!/bin/sh
# Records what the system's gdi32 draws for every seeded case, as the hashes
# tests/gdi/gdi_reference_tests.cpp compares against. Needs the Debian
# packages mingw-w64 and wine64 (not needed to build or test Kelvo).
#   tools/gdi-reference/make-reference.sh            rewrite the test data
#   tools/gdi-reference/make-reference.sh pictures pie   print the pictures of one kind
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
if ! command -v x86_64-w64-mingw32-g++ >/dev/null || [ ! -x "$wine" ]; then
    echo "make-reference: needs mingw-w64 and wine64 (apt-get install --no-install-recommends wine64 mingw-w64)" >&2
    exit 1
fi
x86_64-w64-mingw32-g++ -O2 -std=c++17 -static -o "$work/reference.exe" "$here/reference.cpp" -lgdi32
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
if [ $# -gt 0 ]; then
    "$wine" "$work/reference.exe" "$@" | tr -d '\r'
    "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    exit 0
fi
# Wine's gdi32 now and then paints a stray span from memory it never set;
# a case that does not draw the same in every run is left out ("-").
for run in 1 2 3; do
    "$wine" "$work/reference.exe" | tr -d '\r' > "$work/run$run"
done
"$(dirname "$wine")/wineserver" -w 2>/dev/null || true
out="$root/tests/gdi/reference-pictures.txt"
{
    echo "# FNV-1a hashes of the 32 x 32 pictures gdi32 drew for each seeded case,"
    echo "# eight cases a line, \"-\" where runs disagreed; made by"
    echo "# tools/gdi-reference/make-reference.sh."
    paste -d '\n' "$work/run1" "$work/run2" "$work/run3" | awk '
        { line[NR % 3] = $0 }
        NR % 3 == 0 {
            n = split(line[1], a); split(line[2], b); split(line[0], c)
            out = a[1]
            for (i = 2; i <= n; i++) out = out " " (a[i] == b[i] && b[i] == c[i] ? a[i] : "-")
            print out
        }'
} > "$out.new"
mv "$out.new" "$out"
echo "make-reference: wrote $out"
