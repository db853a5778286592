#!/bin/sh
# Prints test lines against code lines (neither blank nor only a // comment),
# tests/ against src/ + tools/, C and C++ sources. Reports only; never fails.
cd "$(dirname "$0")/.." || exit 0
count() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -- "$@"
  else
    find "$@" -type f
  fi | grep -E '\.(cpp|cc|h|hpp|c)$' | xargs -r cat 2>/dev/null | grep -c -v -E '^\s*($|//)'
}
code=$(count src tools)
tests=$(count tests)
if [ "${code:-0}" -gt 0 ]; then
  share=$((100 * ${tests:-0} / code))
  verdict="within the aim of 25-35%"
  { [ "$share" -lt 25 ] || [ "$share" -gt 35 ]; } && verdict="OUTSIDE the aim of 25-35%"
  echo "test share: $share% ($tests test lines / $code code lines), $verdict"
fi
exit 0
