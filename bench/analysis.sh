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
#   bench/analysis.sh matrix OLD_REV NEW_REV OUT
#       runs both revisions (NEW_REV "." for this tree as it is) over the
#       case list below into OUT/old and OUT/new and compares each case; a
#       case already recorded under OUT/old is not run again (the old life
#       tree of 4JSV at alpha -2 takes about 20 minutes and 2.3 GB)
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

# structure|alpha|probe|stages[|depression rule]
cases=()
for s in 1a0q 1a1p 1ubq 3al1 2jo4 pbc; do
  for ap in "0|1.4" "-2.5|1.4" "0|0"; do cases+=("$s|$ap|filtration,lifetree,depressions"); done
done
cases+=(
  "4JSV|0|1.4|filtration,lifetree,depressions" "4JSV|0|1.4|depressions|empty"
  "4JSV|-2|1.4|lifetree" "4JSV|0|0|filtration,depressions" "4JSV|-2.5|1.4|filtration"
)

if [ "${1:-}" = matrix ]; then
  [ $# -eq 4 ] || { echo "usage: $0 matrix OLD_REV NEW_REV OUT" >&2; exit 2; }
  old_rev=$2 new_rev=$3 out=$4 status=0
  data=$root/../shared/data/pdb
  for c in "${cases[@]}"; do
    IFS='|' read -r s alpha probe stages rule <<<"$c"
    name="${s}_${alpha}_${probe}_${stages//,/+}${rule:+_$rule}"
    if [ ! -f "$out/old/$name/.steps" ]; then
      "$0" run --rev "$old_rev" "$out/old/$name" "$stages" "$data/$s.pdb" "$alpha" "$probe" \
        ${rule:+"$rule"} >/dev/null
    fi
    if [ "$new_rev" = . ]; then
      "$0" run "$out/new/$name" "$stages" "$data/$s.pdb" "$alpha" "$probe" ${rule:+"$rule"} >/dev/null
    else
      "$0" run --rev "$new_rev" "$out/new/$name" "$stages" "$data/$s.pdb" "$alpha" "$probe" \
        ${rule:+"$rule"} >/dev/null
    fi
    printf '%-44s ' "$name"
    "$0" compare "$out/old/$name" "$out/new/$name" || status=1
  done
  exit $status
fi

[ "${1:-}" = run ] || { sed -n '2,26p' "$0" >&2; exit 2; }
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
