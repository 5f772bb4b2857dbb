#!/usr/bin/env bash
# Builds alvex in Release in its own build folder and times it on the larger
# structures: wall time and peak memory per structure and letters, then the
# share of predicate evaluations that needed exact arithmetic.
#
#   bench/run.sh [letters] [structure.pdb ...]
#
# letters defaults to -fd; the structures default to 4JSV, pbc, 2jo4 and
# 1a0q from ../shared/data/pdb. Several letter sets may be given separated
# by commas (-fd,-fa,-fc). The structures are copied to a scratch folder
# because alvex writes its files beside its input.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
letters="${1:--fd}"
shift || true
if [ $# -gt 0 ]; then
  structures=("$@")
else
  data="$root/../shared/data/pdb"
  structures=("$data/4JSV.pdb" "$data/pbc.pdb" "$data/2jo4.pdb" "$data/1a0q.pdb")
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j4 --target alvex alvex_geometry alvex_structure >/dev/null
g++ -std=c++17 -O2 -ffp-contract=off -I"$root" "$root/bench/bench_kernel.cpp" \
  "$build/libalvex_geometry.a" "$build/libalvex_structure.a" -o "$build/bench_kernel"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for s in "${structures[@]}"; do cp "$s" "$scratch/"; done

measure() {  # prints "seconds peak_kB" of one run, its output discarded
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "%e %M" -o "$scratch/.time" "$@" >/dev/null 2>&1 || true
    cat "$scratch/.time"
  else
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s.%N)
    echo "$(echo "$t1 - $t0" | bc) ?"
  fi
}

printf '%-12s %-8s %10s %12s\n' structure letters seconds peak_MB
IFS=',' read -r -a sets <<<"$letters"
for s in "${structures[@]}"; do
  name=$(basename "$s")
  for l in "${sets[@]}"; do
    # Pocket and area files go to the working directory: keep them in scratch.
    read -r secs kb < <(cd "$scratch" && measure "$build/alvex" "$l" "$scratch" "$name")
    if [ "$kb" = "?" ]; then mb="?"; else mb=$((kb / 1024)); fi
    printf '%-12s %-8s %10s %12s\n' "$name" "$l" "$secs" "$mb"
  done
done

echo
echo "Delaunay edges alone, and predicate evaluations decided exactly:"
for s in "${structures[@]}"; do
  "$build/bench_kernel" "$scratch/$(basename "$s")" 2>/dev/null | sed "s|$scratch/||"
done
echo
echo "The kernel on every atom centre of the file (radius 1.8), as the reader would skip some:"
for s in "${structures[@]}"; do
  "$build/bench_kernel" --raw "$scratch/$(basename "$s")" 2>/dev/null | sed "s|$scratch/||"
done
