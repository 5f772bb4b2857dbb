#!/usr/bin/env bash
# Measures alvex side by side with two reference programs given the same
# atoms, in one run, and prints ratios (alvex / reference):
#   -fd   against a regular-triangulation library (bench/ref_triangulation.cpp,
#         built here when libcgal-dev is installed) that triangulates the
#         balls alvex triangulates (weights r^2) and lists the edges, once in
#         alvex's insertion order and once in its own (spatially sorted) one;
#   -fq   against a surface-area program (freesasa, when installed) at its
#         defaults on the structure, and with alvex's radii;
#   -fpq  alone (instructions).
# Instructions come from callgrind (deterministic, unlike time on a shared
# machine), with the triangulation alone split out; CPU time (user + system)
# is the median of paired runs; peak memory is the maximum resident size
# from /usr/bin/time -v. Any failed run ends the script with an error.
#
#   bench/run.sh [structure.pdb] [repeats]     (default 4JSV, 5 repeats)
#
# Needs valgrind and /usr/bin/time (apt-get install -y valgrind time); the
# references need libcgal-dev and freesasa.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
structure=${1:-$root/../shared/data/pdb/4JSV.pdb}
repeats=${2:-5}

die() {
  echo "bench/run.sh: $*" >&2
  exit 1
}
[ -f "$structure" ] || die "no structure at $structure (give one as the first argument)"
command -v valgrind >/dev/null || die "valgrind not found (apt-get install -y valgrind)"
[ -x /usr/bin/time ] || die "/usr/bin/time not found (apt-get install -y time)"
structure=$(cd "$(dirname "$structure")" && pwd)/$(basename "$structure")
name=$(basename "$structure")

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j4 --target alvex alvex_geometry alvex_structure >/dev/null
g++ -std=c++17 -O2 -ffp-contract=off -I"$root" "$root/bench/bench_kernel.cpp" \
  "$build/libalvex_geometry.a" "$build/libalvex_structure.a" -o "$build/bench_kernel"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

have_cgal=0
if [ -f /usr/include/CGAL/Regular_triangulation_3.h ]; then
  g++ -std=c++17 -O2 -DNDEBUG "$root/bench/ref_triangulation.cpp" -o "$build/ref_triangulation" \
    -lgmp || die "the reference triangulation does not build"
  have_cgal=1
else
  echo "libcgal-dev not installed: no reference triangulation (apt-get install -y libcgal-dev)"
fi
have_sasa=0
if command -v freesasa >/dev/null; then
  have_sasa=1
else
  echo "freesasa not installed: no surface-area reference (apt-get install -y freesasa)"
fi

# Inputs for the references: alvex's own balls.
"$build/bench_kernel" --balls "$structure" >"$scratch/balls.txt" || die "bench_kernel --balls failed"
"$build/bench_kernel" --radii "$structure" >"$scratch/radii.pdb" || die "bench_kernel --radii failed"
[ -s "$scratch/balls.txt" ] || die "no atoms read from $structure"

# Each case: a label and a command run in a folder of its own with a copy of
# the structure (alvex writes beside its input and in the working folder).
declare -A cmd
labels=(alvex-fd alvex-fq alvex-fpq)
cmd[alvex-fd]="$build/alvex -fd . $name"
cmd[alvex-fq]="$build/alvex -fq . $name"
cmd[alvex-fpq]="$build/alvex -fpq . $name"
if [ $have_cgal = 1 ]; then
  labels+=(ref-same ref-spatial)
  cmd[ref-same]="$build/ref_triangulation $scratch/balls.txt same edges.txt"
  cmd[ref-spatial]="$build/ref_triangulation $scratch/balls.txt spatial edges.txt"
fi
if [ $have_sasa = 1 ]; then
  labels+=(sasa sasa-radii)
  cmd[sasa]="freesasa $name"
  cmd[sasa-radii]="freesasa --radius-from-occupancy $scratch/radii.pdb"
fi
# The function whose inclusive cost is the triangulation alone.
declare -A tri_fn=([alvex-fd]='triangulate(' [ref-same]='::build(' [ref-spatial]='::build(')

dir_of() { echo "$scratch/$1"; }
for l in "${labels[@]}"; do
  mkdir -p "$(dir_of "$l")"
  cp "$structure" "$(dir_of "$l")/"
done

# Instructions: all cases under callgrind, four at a time.
declare -A instr tri_instr
pids=()
for l in "${labels[@]}"; do
  d=$(dir_of "$l")
  (cd "$d" && eval "valgrind --tool=callgrind --callgrind-out-file=$d/cg.out ${cmd[$l]}" \
    >/dev/null 2>"$d/vg.txt") &
  pids+=("$!:$l")
  if [ ${#pids[@]} -ge 4 ]; then
    for p in "${pids[@]}"; do wait "${p%%:*}" || die "${p#*:} failed under callgrind: $(tail -3 "$(dir_of "${p#*:}")/vg.txt")"; done
    pids=()
  fi
done
for p in "${pids[@]}"; do wait "${p%%:*}" || die "${p#*:} failed under callgrind: $(tail -3 "$(dir_of "${p#*:}")/vg.txt")"; done
for l in "${labels[@]}"; do
  d=$(dir_of "$l")
  n=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$d/vg.txt")
  [ -n "$n" ] || die "$l: no instruction count from callgrind"
  instr[$l]=$n
  if [ -n "${tri_fn[$l]:-}" ]; then
    t=$(callgrind_annotate --inclusive=yes "$d/cg.out" 2>/dev/null |
      grep -F "${tri_fn[$l]}" | head -1 | awk '{gsub(",", "", $1); print $1}')
    [ -n "$t" ] || die "$l: no cost of ${tri_fn[$l]} in the profile"
    tri_instr[$l]=$t
  fi
done

# CPU time and peak memory: the cases in turn, repeated; the medians.
declare -A cpu peak
for l in "${labels[@]}"; do cpu[$l]=""; peak[$l]=0; done
for ((r = 0; r < repeats; ++r)); do
  for l in "${labels[@]}"; do
    d=$(dir_of "$l")
    if ! (cd "$d" && eval "/usr/bin/time -v -o $d/time.txt ${cmd[$l]}" >/dev/null 2>&1); then
      die "$l failed: ${cmd[$l]}"
    fi
    u=$(sed -n 's/.*User time (seconds): //p' "$d/time.txt")
    s=$(sed -n 's/.*System time (seconds): //p' "$d/time.txt")
    m=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$d/time.txt")
    [ -n "$u" ] && [ -n "$s" ] && [ -n "$m" ] || die "$l: no time or memory in /usr/bin/time -v"
    cpu[$l]+="$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }') "
    [ "$m" -gt "${peak[$l]}" ] && peak[$l]=$m
  done
done
median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

echo
echo "structure $name, $(wc -l <"$scratch/balls.txt") atoms; CPU: median of $repeats runs"
printf '%-12s %16s %16s %10s %10s\n' run instructions triangulation cpu_s peak_MB
for l in "${labels[@]}"; do
  printf '%-12s %16s %16s %10s %10s\n' "$l" "${instr[$l]}" "${tri_instr[$l]:--}" \
    "$(echo "${cpu[$l]}" | median)" "$((peak[$l] / 1024))"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
echo
echo "ratios alvex / reference (targets after the colon)"
if [ $have_cgal = 1 ]; then
  edges_alvex=$(wc -l <"$(dir_of alvex-fd)/${name%.pdb}.del.edges")
  edges_ref=$(wc -l <"$(dir_of ref-same)/edges.txt")
  echo "  Delaunay edges: alvex $edges_alvex, reference $edges_ref"
  for ref in ref-same ref-spatial; do
    c_a=$(echo "${cpu[alvex-fd]}" | median)
    c_r=$(echo "${cpu[$ref]}" | median)
    echo "  -fd against $ref:"
    echo "    instructions        $(ratio "${instr[alvex-fd]}" "${instr[$ref]}")   : <= 0.9"
    echo "    CPU time            $(ratio "$c_a" "$c_r")   : <= 1.3"
    echo "    peak memory         $(ratio "${peak[alvex-fd]}" "${peak[$ref]}")   : <= 2.0 (<= 60 MB)"
    echo "    triangulation alone $(ratio "${tri_instr[alvex-fd]}" "${tri_instr[$ref]}")   : <= 1.2"
  done
fi
if [ $have_sasa = 1 ]; then
  c_a=$(echo "${cpu[alvex-fq]}" | median)
  for ref in sasa sasa-radii; do
    c_r=$(echo "${cpu[$ref]}" | median)
    echo "  -fq against $ref:"
    echo "    instructions        $(ratio "${instr[alvex-fq]}" "${instr[$ref]}")   : <= 0.8"
    echo "    CPU time            $(ratio "$c_a" "$c_r")   : <= 1.0"
  done
fi
echo "  -fpq instructions     ${instr[alvex-fpq]}   : <= 6.5e9"
echo
echo "Predicate evaluations decided exactly:"
"$build/bench_kernel" "$structure" 2>/dev/null | sed "s|$(dirname "$structure")/||" ||
  die "bench_kernel failed"
