#!/usr/bin/env bash
# A small mutation runner: how many plausible faults does the suite catch?
#
#   tools/mutate.sh [-b BUILD] [-s TREE] [-o FILTER] [MUTANTS]
#
# MUTANTS (default tests/mutants.txt) has one mutant a line, tab-separated:
#   file <TAB> snippet <TAB> replacement <TAB> why [<TAB> e2e]
# The snippet must occur exactly once in the file. "e2e" marks code that only
# the end-to-end tests reach; they run when the fast tests miss the mutant.
# Lines starting with # and blank lines are skipped.
#
# Each mutant is applied to a scratch copy of TREE (default: this checkout)
# in BUILD (default build-mutate), which is rebuilt without benchmarks; then
# the tests whose programs were rebuilt run, stopping at the first failure.
# FILTER (a grep -E pattern) picks the mutants whose file matches it.
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=build-mutate
tree=$here
filter=.
while getopts b:s:o: opt; do
  case $opt in
    b) build=$OPTARG ;;
    s) tree=$(cd "$OPTARG" && pwd) ;;
    o) filter=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD] [-s TREE] [-o FILTER] [MUTANTS]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
mutants=$(realpath "${1:-$tree/tests/mutants.txt}")
mkdir -p "$build"
build=$(cd "$build" && pwd)
scratch=$build/tree
out=$build/out
jobs=${JOBS:-2}
# Paths relative to the build folder: two runs (before and after a change to
# the tests) share their compiled mutants through the compiler cache.
export CCACHE_BASEDIR=$build

# The scratch copy: the tracked and new files of TREE, nothing of its builds.
# Only files whose content changed are replaced, and they get a new time, so
# that an earlier run's objects are rebuilt exactly when they are stale.
staging=$build/staging
rm -rf "$staging"
mkdir -p "$staging" "$scratch"
(cd "$tree" && { git ls-files -co --exclude-standard 2>/dev/null || find . -type f -not -path './build*'; } |
  tar -cf - -T - 2>/dev/null) | tar -xf - -C "$staging"
python3 - "$staging" "$scratch" <<'PY'
import filecmp, os, shutil, sys
src, dst = sys.argv[1:3]
wanted = set()
for root, _, files in os.walk(src):
    for name in files:
        rel = os.path.relpath(os.path.join(root, name), src)
        wanted.add(rel)
        target = os.path.join(dst, rel)
        if not os.path.isfile(target) or not filecmp.cmp(os.path.join(src, rel), target, shallow=False):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy(os.path.join(src, rel), target)  # a new time: rebuilt
for root, _, files in os.walk(dst):
    for name in files:
        if os.path.relpath(os.path.join(root, name), dst) not in wanted:
            os.remove(os.path.join(root, name))
PY
rm -rf "$staging"

log=$build/mutate.log
: >"$log"
# Lightly optimised, no debug information, a fast linker: the rebuilds dominate.
cmake -S "$scratch" -B "$out" -DKELVO_BENCH=OFF -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O1 \
  -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld >>"$log" 2>&1 &&
  cmake --build "$out" -j"$jobs" >>"$log" 2>&1 ||
  { echo "mutate: the unmutated tree does not build (see $log)" >&2; exit 2; }

# Test name -> its program (the last word after dbus-run-session), and which
# tests are end-to-end or not wanted.
declare -A program
while read -r name path; do program[$name]=$path; done < <(
  cd "$out" && ctest -N -V 2>/dev/null | awk '/^[0-9]+: Test command:/ { cmd = $4; if (cmd ~ /dbus-run-session$/) { cmd = $NF; gsub(/"/, "", cmd) } }
    /Test +#[0-9]+:/ { print $3, cmd }')
mapfile -t e2e_tests < <(cd "$out" && ctest -N -L e2e | awk '/Test +#[0-9]+:/ { print $3 }')
is_e2e() { local t; for t in "${e2e_tests[@]}"; do [ "$t" = "$1" ] && return 0; done; return 1; }

# Runs the chosen tests; 0 when all pass.
run_tests() {
  [ $# -eq 0 ] && return 0
  local regex
  regex="^($(IFS='|'; echo "$*"))\$"
  (cd "$out" && ctest -R "$regex" -j"$jobs" --stop-on-failure >>"$log" 2>&1)
}

killed=0
total=0
n=0
while IFS=$'\t' read -r file snippet replacement why mark; do
  [[ -z "$file" || "$file" == \#* ]] && continue
  n=$((n + 1))
  [[ "$file" =~ $filter ]] || continue
  total=$((total + 1))
  target=$scratch/$file
  label="#$n $file: $why"
  if [ ! -f "$target" ] ||
     [ "$(python3 -c 'import sys; print(open(sys.argv[1]).read().count(sys.argv[2]))' "$target" "$snippet")" != 1 ]; then
    echo "INVALID   $label (snippet not found exactly once)"
    continue
  fi
  cp -p "$target" "$target.orig"
  python3 - "$target" "$snippet" "$replacement" <<'PY'
import sys
path, old, new = sys.argv[1:4]
text = open(path).read()
open(path, "w").write(text.replace(old, new, 1))
PY
  stamp=$build/stamp
  touch "$stamp"
  sleep 1  # so that whatever the build makes is newer than the stamp
  echo "=== mutant $n: $file" >>"$log"
  if ! cmake --build "$out" -j"$jobs" >>"$log" 2>&1; then
    echo "INVALID   $label (does not build)"
    mv "$target.orig" "$target"
    continue
  fi
  fast=()
  slow=()
  for t in "${!program[@]}"; do
    p=${program[$t]}
    rebuilt=0
    [ -f "$p" ] && [ "$p" -nt "$stamp" ] && rebuilt=1
    # Tests that run the built programs rather than link the code.
    case $t in
      tools_kelvo_reg_test) [ "$out/kelvo-reg" -nt "$stamp" ] && rebuilt=1 ;;
      e2e_*) [ "$out/kelvo" -nt "$stamp" ] && rebuilt=1 ;;
      registry_hive_fuzz) rebuilt=0 ;;
    esac
    [ $rebuilt = 1 ] || continue
    if is_e2e "$t"; then slow+=("$t"); else fast+=("$t"); fi
  done
  verdict=SURVIVED
  offset=$(stat -c %s "$log")
  if ! run_tests "${fast[@]}"; then
    verdict=KILLED
  elif [ "${mark:-}" = e2e ] && ! run_tests "${slow[@]}"; then
    verdict=KILLED
  fi
  by=
  if [ $verdict = KILLED ]; then
    killed=$((killed + 1))
    by=$(tail -c +"$((offset + 1))" "$log" | awk '/tests FAILED:/ { on = 1; next } on && / - / { print $3; exit }')
    by=${by:+ [by $by]}
  fi
  printf '%-9s %s%s\n' "$verdict" "$label" "$by"
  # Restored as it was, mtime included: the next build recompiles it.
  mv "$target.orig" "$target"
  touch "$target"
done <"$mutants"

echo "mutation score: $killed / $total"
