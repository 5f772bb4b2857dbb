#!/usr/bin/env bash
# Builds alvex in Release in its own build folder and measures the letters
# -fd, -fq and -fp on 4JSV (../shared/data/pdb): the instructions each run
# executes, counted by callgrind (deterministic, unlike wall time on a shared
# machine), then the wall time and peak memory of each, then how often the
# predicates needed exact arithmetic. Without valgrind the instruction counts
# are skipped. Takes about two minutes.
#
#   bench/run.sh [structure.pdb ...]
#
# Each instruction count is that of
#   valgrind --tool=callgrind --callgrind-out-file=OUT alvex LETTERS DIR NAME.pdb
# run in a scratch folder holding a copy of the structure (alvex writes its
# files beside its input and in the working folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
letter_sets=(-fd -fq -fp)
if [ $# -gt 0 ]; then
  structures=("$@")
else
  structures=("$root/../shared/data/pdb/4JSV.pdb")
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j4 --target alvex alvex_geometry alvex_structure >/dev/null
g++ -std=c++17 -O2 -ffp-contract=off -I"$root" "$root/bench/bench_kernel.cpp" \
  "$build/libalvex_geometry.a" "$build/libalvex_structure.a" -o "$build/bench_kernel"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A folder of its own per structure and letters, with a copy of the structure.
case_dir() {  # structure letters
  local d="$scratch/$(basename "$1" .pdb)$2"
  mkdir -p "$d"
  cp "$1" "$d/"
  echo "$d"
}

if command -v valgrind >/dev/null; then
  printf '%-12s %-8s %16s\n' structure letters instructions
  for s in "${structures[@]}"; do
    name=$(basename "$s")
    for l in "${letter_sets[@]}"; do
      d=$(case_dir "$s" "$l")
      (cd "$d" && valgrind --tool=callgrind --callgrind-out-file="$d/callgrind.out" \
        "$build/alvex" "$l" "$d" "$name" >/dev/null 2>"$d/valgrind.txt" || true) &
    done
    wait
    for l in "${letter_sets[@]}"; do
      d="$scratch/$(basename "$s" .pdb)$l"
      n=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$d/valgrind.txt")
      printf '%-12s %-8s %16s\n' "$name" "$l" "${n:-failed}"
    done
  done
  echo
else
  echo "valgrind not found: no instruction counts (apt-get install -y valgrind)"
  echo
fi

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
for s in "${structures[@]}"; do
  name=$(basename "$s")
  for l in "${letter_sets[@]}"; do
    d=$(case_dir "$s" "$l.time")
    read -r secs kb < <(cd "$d" && measure "$build/alvex" "$l" "$d" "$name")
    if [ "$kb" = "?" ]; then mb="?"; else mb=$((kb / 1024)); fi
    printf '%-12s %-8s %10s %12s\n' "$name" "$l" "$secs" "$mb"
  done
done

echo
echo "Delaunay edges alone, and predicate evaluations decided exactly:"
for s in "${structures[@]}"; do
  "$build/bench_kernel" "$s" 2>/dev/null | sed "s|$(dirname "$s")/||"
done
