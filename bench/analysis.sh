#!/usr/bin/env bash
# Runs the auxiliary pocket analyses (filtration, life trees, depressions)
# on one structure through bench/analysis_harness.cpp, keeping every file and
# string they produce, the step times and the peak memory.
#
#   bench/analysis.sh run [--rev REV] OUT STAGES PDB ALPHA PROBE [RULE]
#       builds the libraries of this tree (or of git revision REV, extracted
#       to a scratch folder) in Release, compiles the harness against them
#       and runs it; OUT receives the outputs, OUT/.steps (step times and
#       peak resident size) and OUT/.time (/usr/bin/time -v)
#   bench/analysis.sh compare OLD NEW
#       byte comparison of two OUT folders (the timing files left out)
#
# STAGES: comma list of filtration, lifetree, depressions, or none (records
# and pockets only, for the memory they take).  RULE: which tetrahedra carry
# the depression flag (outside, empty, pockets; see the harness).
#
# Examples (4JSV):
#   bench/analysis.sh run --rev 158c713 /tmp/old-tree lifetree ../shared/data/pdb/4JSV.pdb -2 1.4
#   bench/analysis.sh run /tmp/new-tree lifetree ../shared/data/pdb/4JSV.pdb -2 1.4
#   bench/analysis.sh compare /tmp/old-tree /tmp/new-tree
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = compare ]; then
  [ $# -eq 3 ] || { echo "usage: $0 compare OLD NEW" >&2; exit 2; }
  if diff -r -q -x .steps -x .time "$2" "$3"; then
    echo "identical: $(find "$2" -type f ! -name .steps ! -name .time | wc -l) files"
  else
    exit 1
  fi
  exit 0
fi

[ "${1:-}" = run ] || { sed -n '2,20p' "$0" >&2; exit 2; }
shift
src=$root
build=$root/build-bench-analysis
if [ "${1:-}" = --rev ]; then
  rev=$(git -C "$root" rev-parse --short "$2")
  src=$root/build-bench-analysis/rev-$rev/src
  build=$root/build-bench-analysis/rev-$rev/build
  if [ ! -d "$src" ]; then
    mkdir -p "$src"
    git -C "$root" archive "$rev" | tar -x -C "$src"
  fi
  shift 2
fi
[ $# -ge 5 ] || { echo "usage: $0 run [--rev REV] OUT STAGES PDB ALPHA PROBE [RULE]" >&2; exit 2; }
out=$1 stages=$2 pdb=$(cd "$(dirname "$3")" && pwd)/$(basename "$3") alpha=$4 probe=$5
rule=${6:-outside}

cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j4 --target alvex_analysis >/dev/null
libs=()
for l in analysis pockets measure geometry structure; do libs+=("$build/libalvex_$l.a"); done
g++ -std=c++17 -O2 -Wall -Wextra -ffp-contract=off -I"$src" "$root/bench/analysis_harness.cpp" \
  "${libs[@]}" -o "$build/analysis_harness"

rm -rf "$out"
mkdir -p "$out"
if [ -x /usr/bin/time ]; then
  /usr/bin/time -v -o "$out/.time" "$build/analysis_harness" "$stages" "$out" "$pdb" "$alpha" \
    "$probe" "$rule" 2>"$out/.steps"
  grep -E "Elapsed|Maximum resident" "$out/.time" >>"$out/.steps"
else
  "$build/analysis_harness" "$stages" "$out" "$pdb" "$alpha" "$probe" "$rule" 2>"$out/.steps"
fi
cat "$out/.steps"
