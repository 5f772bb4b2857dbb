#!/usr/bin/env bash
# Molecular-surface measures of enclosed voids (letter q) and of pockets
# (letter p) from two alvex builds against the surface sampled by its
# definition: bench/ses_check.cpp, built here against the libraries of
# build/ (cmake --build build first).  For every structure and setting
# (alpha 0, -1 and -2.5, atoms and the backbone model b) it prints, per
# void and per pocket up to SES_TETS tetrahedra (default 40; at most SES_MAX
# of them), the measures of both builds and the sampled ones (sampling step
# SES_STEP, default 0.05), the worst errors, and the totals and atoms or
# pockets outside their bounds.  Slow on large structures.
#
#   bench/ses_check.sh OLD_ALVEX NEW_ALVEX [structure.pdb ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
old=$(realpath "$1")
new=$(realpath "$2")
shift 2
if [ $# -gt 0 ]; then
  structures=("$@")
else
  structures=("$root"/data/*.pdb)
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
g++ -std=c++17 -O2 -ffp-contract=off -I"$root" -I"$root/tests" "$root/bench/ses_check.cpp" \
  "$root"/build/libalvex_analysis.a "$root"/build/libalvex_pockets.a \
  "$root"/build/libalvex_measure.a "$root"/build/libalvex_geometry.a \
  "$root"/build/libalvex_structure.a -o "$scratch/ses_check"

run() {  # dir alvex letters file alpha
  mkdir -p "$1"
  cp "$4" "$1/"
  (cd "$1" && "$2" "$3" . "$(basename "$4")" "$5" 1.4 >/dev/null 2>&1 || true)
}

for s in "${structures[@]}"; do
  name=$(basename "$s")
  base=${name%%.pdb*}
  short=${name:0:4}
  for alpha in 0 -1 -2.5; do
    for model in - b; do
      letters=-f
      [ "$model" = b ] && letters=-fb
      echo "== $name alpha $alpha model $model"
      d="$scratch/$base$alpha$model"
      run "$d/old" "$old" "${letters}q" "$s" "$alpha"
      run "$d/new" "$new" "${letters}q" "$s" "$alpha"
      "$scratch/ses_check" voids "$s" "$alpha" 1.4 "$model" "$d/old/$short.4.contrib" \
        "$d/new/$short.4.contrib" | grep -E "^(voids|before|after)"
      run "$d/old" "$old" "${letters}p" "$s" "$alpha"
      run "$d/new" "$new" "${letters}p" "$s" "$alpha"
      if [ -f "$d/new/$base.pocInfo" ]; then
        "$scratch/ses_check" pockets "$s" "$alpha" 1.4 "$model" "$d/old/$base.pocInfo" \
          "$d/new/$base.pocInfo" "$d/new/$base.pocInfo.complex" | grep -E "^pockets"
      fi
    done
  done
done
