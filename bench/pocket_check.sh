#!/usr/bin/env bash
# Checks the pocket measures of the ".pocInfo" report (Vol_sa, Area_sa,
# Lenth) against references computed from their definitions by
# bench/pocket_reference.cpp (Monte Carlo over lines, sliced spheres, exact
# arcs), for every pocket of each structure at each alpha (probe 1.4).
#
#   bench/pocket_check.sh OUT ALVEX [structure.pdb ...]
#
# OUT receives one folder per structure and alpha with the pocket files and
# ref.txt (a row per pocket, then the counts outside tolerance and the worst
# errors). Tolerances: Vol_sa 3 sigma + 0.01, Area_sa and Lenth 2% + 0.05;
# "impossible" counts a negative measure or a volume beyond the tetrahedra's.
# With some hundred pockets a 3-sigma volume flag or two is sampling noise:
# run build-bench/pocket_reference in that folder with more lines to tell.
# ALPHAS (default "0 -1") and LINES (random lines per tetrahedron, default
# 20000) may be set in the environment. Structures default to 1ubq, 1a0q and
# 4JSV of ../shared/data/pdb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 2 ] || { echo "usage: $0 OUT ALVEX [structure.pdb ...]" >&2; exit 2; }
out=$1 alvex=$(realpath "$2")
shift 2
if [ $# -gt 0 ]; then
  structures=("$@")
else
  structures=("$root"/../shared/data/pdb/{1ubq,1a0q,4JSV}.pdb)
fi
alphas=${ALPHAS:-"0 -1"}
lines=${LINES:-20000}

build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j4 --target alvex_structure >/dev/null
g++ -std=c++17 -O2 -ffp-contract=off -I"$root" "$root/bench/pocket_reference.cpp" \
  "$build/libalvex_structure.a" -o "$build/pocket_reference"

mkdir -p "$out"
# The alphas of one structure side by side (4JSV takes about ten minutes).
for s in "${structures[@]}"; do
  name=$(basename "$s" .pdb)
  for a in $alphas; do
    d="$out/$name@$a"
    mkdir -p "$d"
    cp "$s" "$d/"
    (
      cd "$d"
      "$alvex" -fp . "$name.pdb" "$a" 1.4 >/dev/null 2>&1
      "$build/pocket_reference" "$name.pdb" "$name.pocInfo.complex" "$name.pocInfo" "$a" 1.4 \
        "$lines" >ref.txt
    ) &
  done
  wait
done
for s in "${structures[@]}"; do
  name=$(basename "$s" .pdb)
  for a in $alphas; do
    echo "== $name alpha $a"
    tail -n 2 "$out/$name@$a/ref.txt"
  done
done
