#!/usr/bin/env bash
# Checks of the pocket aligner on real pockets.
#
#   bench/veldrix_check.sh compare OLD_DIR NEW_DIR
#       runs veldrix and veldrix-old of both folders on the same cases and
#       compares every output byte (alignment, .eq files, alOrd, rot.dat,
#       standard output and error, exit status); lists the cases that differ
#   bench/veldrix_check.sh recover DIR [seeds]
#       aligns moved, shuffled copies (up to 0.2 A of noise) of real pockets
#       of 50 to 1000 atoms onto their originals with DIR/veldrix; counts the
#       copies recovered (every atom paired with its own copy, RMSD within the
#       noise, rot.dat the inverse rotation) and the mirror rotations
#       (det(rot.dat) < 0)
#
# Pockets are cut by alvex (letter p; the alvex of NEW_DIR or DIR, else
# build/alvex) from 1a0q and 4JSV in $PDB_DIR (default: the shared data
# folder beside the repository; data/ lacks 4JSV): whole pockets, and the n atoms
# of 4JSV's largest pocket nearest to a random atom of it.  KEEP=1 keeps the
# scratch folder with every case.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
pdb_dir=${PDB_DIR:-$root/../shared/data/pdb}

abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"' EXIT
pockets=$work/pockets

# Pocket files "STRUCTURE_NUMBER" (x y z atom residue per line) and cuts
# "cut_N_SEED" of 4JSV's largest pocket.
prepare_pockets() {  # alvex
  mkdir -p "$work/pdb" "$pockets"
  local s
  for s in 1a0q 4JSV; do
    [ -e "$pdb_dir/$s.pdb" ] || continue
    cp "$pdb_dir/$s.pdb" "$work/pdb/"
    (cd "$work/pdb" && "$1" -fp . "$s.pdb" >/dev/null 2>&1)
    awk -v out="$pockets/${s}_" '{
      x = substr($0, 31, 8); y = substr($0, 39, 8); z = substr($0, 47, 8)
      a = substr($0, 13, 4); r = substr($0, 18, 3)
      gsub(/ /, "", x); gsub(/ /, "", y); gsub(/ /, "", z); gsub(/ /, "", a); gsub(/ /, "", r)
      print x, y, z, a, r > (out (substr($0, 67, 4) + 0))
    }' "$work/pdb/$s.poc"
  done
  largest=$(wc -l "$pockets"/4JSV_* 2>/dev/null | grep -v ' total$' | sort -n | tail -n 1 | awk '{ print $2 }')
  [ -n "$largest" ] || { echo "no pockets of 4JSV (is $pdb_dir/4JSV.pdb there?)" >&2; exit 1; }
}

cut_pocket() {  # n seed -> path of the cut
  local f=$pockets/cut_$1_$2
  if [ ! -e "$f" ]; then
    awk -v seed="$2" '{ L[NR] = $0; X[NR] = $1; Y[NR] = $2; Z[NR] = $3 }
      END { srand(seed); c = 1 + int(NR * rand())
            for (i = 1; i <= NR; i++)
              printf "%.6f %d %s\n", (X[i] - X[c]) ^ 2 + (Y[i] - Y[c]) ^ 2 + (Z[i] - Z[c]) ^ 2, i, L[i] }' "$largest" |
      sort -g -k1,1 -k2,2n | head -n "$1" | sort -k2,2n | cut -d' ' -f3- >"$f"
  fi
  echo "$f"
}

copy_pocket() {  # source seed noise shuffle -> path of the copy (truth beside it)
  local f=$pockets/copy_$(basename "$1")_$2_$3_$4
  [ -e "$f" ] || awk -v seed="$2" -v noise="$3" -v shuffle="$4" -v out="$f" -v truth="$f.truth" \
    -f "$here/veldrix_copy.awk" "$1"
  echo "$f"
}

# ---------------------------------------------------------------- compare
cases=()
add() { cases+=("$*"); }  # "program a b [c d]": pocket and frequency paths or null, or a target

write_test_pockets() {
  local t=$pockets
  printf '0 0 0 N R\n1.5 0 0 CA A\n0 2.1 0.3 OD1 D\n0.4 0.2 3.3 SG C\n-1.2 1.1 -0.7 CB H\n' >"$t/five"
  awk '{ c = cos(0.8); s = sin(0.8); printf "%.12g %.12g %.12g %s %s\n", c * $1 + s * $3 + 3, $2 - 1, -s * $1 + c * $3 + 7.5, $4, $5 }' "$t/five" >"$t/five_moved"
  awk '{ print $1 + 3, -$2 - 1, $3 + 7.5, $4, $5 }' "$t/five" >"$t/five_mirror"
  sed 's/-0.7 CB/1.8 CB/' "$t/five" >"$t/five_far"
  head -n 3 "$t/five" | sed 's/CA A/NE A/; s/OD1 D/OD1 E/' >"$t/three"
  printf '0.5 0.25 2\n' >"$t/f_three"
  printf '1 1 1 1 1 9\n' >"$t/f_five"
}

compare_cases() {
  write_test_pockets
  local t=$pockets s
  add veldrix "$t/five" null "$t/five_moved" null
  add veldrix "$t/five" null "$t/five_mirror" null
  add veldrix "$t/three" "$t/f_three" "$t/five" "$t/f_five"
  add old "$t/five" "$t/five_moved" 1
  add old "$t/three" "$t/five" 1
  add old "$t/five" "$t/five_far" 1
  add old "$t/five" "$t/five_far" 3
  local real=("$t"/4JSV_292 "$t"/1a0q_44 "$t"/1a0q_43)
  for s in "${real[@]}"; do [ -e "$s" ] || { echo "missing pocket $s" >&2; exit 1; }; done
  # different pockets against each other
  add veldrix "${real[0]}" null "${real[1]}" null
  add veldrix "${real[1]}" null "${real[2]}" null
  add veldrix "${real[2]}" null "${real[0]}" null
  add veldrix "$(cut_pocket 200 1)" null "$(cut_pocket 200 2)" null
  add veldrix "$(cut_pocket 150 3)" null "$(cut_pocket 300 4)" null
  add veldrix "$(cut_pocket 500 5)" null "$(cut_pocket 450 6)" null
  add old "${real[0]}" "${real[1]}" 1
  add old "$(cut_pocket 200 1)" "$(cut_pocket 200 2)" 1
  add old "$(cut_pocket 150 3)" "$(cut_pocket 300 4)" 3
  # moved copies in file order, and shuffled ones
  for s in "${real[@]}" "$(cut_pocket 60 7)" "$(cut_pocket 300 8)" "$(cut_pocket 1000 9)"; do
    add veldrix "$s" null "$(copy_pocket "$s" 11 0.2 0)" null
    add old "$s" "$(copy_pocket "$s" 12 0.2 0)" 1
  done
  for s in "${real[@]}" "$(cut_pocket 60 10)" "$(cut_pocket 200 11)" "$(cut_pocket 400 12)"; do
    add veldrix "$s" null "$(copy_pocket "$s" 13 0.2 1)" null
    add old "$s" "$(copy_pocket "$s" 14 0.1 1)" 1
  done
  # an assignment that pairs nothing (at 1.54 and at 1.0486; below 0 for veldrix-old)
  add veldrix "$t/4JSV_111" null "${real[0]}" null
  add veldrix "$t/4JSV_209" null "$t/4JSV_264" null
  add old "${real[0]}" "${real[2]}" -1
  add old "$t/five" "$t/five_far" -1
  # observed frequencies
  awk '{ printf "%.3f\n", 0.5 + (NR * 37 % 11) / 4 }' "${real[0]}" >"$t/freq_a"
  awk '{ printf "%.3f\n", 0.5 + (NR * 53 % 7) / 3 }' "${real[2]}" >"$t/freq_b"
  add veldrix "${real[0]}" "$t/freq_a" "${real[2]}" "$t/freq_b"
  add veldrix "${real[0]}" "$t/freq_a" "$(copy_pocket "${real[0]}" 15 0.2 0)" null
}

run_case() {  # bindir casedir program args...
  local bin=$1 dir=$2 prog=$3
  shift 3
  mkdir -p "$dir"
  local args=() a
  for a in "$@"; do
    if [ -f "$a" ]; then
      cp "$a" "$dir/$(basename -- "$a")"
      args+=("$(basename -- "$a")")
    else
      args+=("$a")
    fi
  done
  local exe=$bin/veldrix
  [ "$prog" = old ] && exe=$bin/veldrix-old
  local rc=0
  (cd "$dir" && "$exe" "${args[@]}" >.stdout 2>.stderr) || rc=$?
  echo "$rc" >"$dir/.rc"
}

compare() {
  local old new
  old=$(abs "$1")
  new=$(abs "$2")
  local alvex=$new/alvex
  [ -x "$alvex" ] || alvex=$root/build/alvex
  prepare_pockets "$alvex"
  compare_cases
  local k=0 same=0 c
  for c in "${cases[@]}"; do
    k=$((k + 1))
    read -r -a words <<<"$c"
    run_case "$old" "$work/old/$k" "${words[@]}"
    run_case "$new" "$work/new/$k" "${words[@]}"
    if diff -r -q "$work/old/$k" "$work/new/$k" >/dev/null; then
      same=$((same + 1))
    else
      local names=""
      for a in "${words[@]:1}"; do names="$names $(basename -- "$a")"; done
      echo "differs: case $k: ${words[0]}$names"
      echo "    old: $(tail -n 1 "$work/old/$k/.stdout")  rc $(cat "$work/old/$k/.rc")  det(rot.dat) $(det "$work/old/$k/rot.dat")"
      echo "    new: $(tail -n 1 "$work/new/$k/.stdout")  rc $(cat "$work/new/$k/.rc")  det(rot.dat) $(det "$work/new/$k/rot.dat")"
    fi
  done
  echo "identical: $same of $k cases"
  [ "$same" -eq "$k" ]
}

det() {
  [ -e "$1" ] || { echo "-"; return; }
  awk '{ for (k = 1; k <= 3; k++) m[NR, k] = $k }
    END { printf "%.4f\n", m[1,1] * (m[2,2] * m[3,3] - m[2,3] * m[3,2]) - m[1,2] * (m[2,1] * m[3,3] - m[2,3] * m[3,1]) + m[1,3] * (m[2,1] * m[3,2] - m[2,2] * m[3,1]) }' "$1"
}

# ---------------------------------------------------------------- recover
# Prints "recovered" or "lost", then det(rot.dat), pairs, correct pairs, RMSD.
judge() {  # dir truth atoms noise
  local dir=$1 summary
  summary=$(tail -n 1 "$dir/.stdout")
  awk -v n="$3" -v noise="$4" -v summary="$summary" '
    FILENAME == ARGV[1] { if (FNR == 1) for (k = 1; k <= 9; k++) M[k - 1] = $k; else P[FNR - 2] = $1; next }
    FILENAME == ARGV[2] { I[FNR - 1] = $1; next }
    FILENAME == ARGV[3] { J[np++] = $1; next }
    FILENAME == ARGV[4] { for (k = 1; k <= 3; k++) Q[3 * (FNR - 1) + k - 1] = $k }
    END {
      ok = 0
      for (k = 0; k < np; k++) if (P[J[k]] == I[k]) ok++
      split(summary, s, " ")
      rot = 1
      for (r = 0; r < 3; r++) for (c = 0; c < 3; c++) {
        d = Q[3 * r + c] - M[3 * c + r]
        if (!(d < 0.02 && d > -0.02)) rot = 0
      }
      det = Q[0] * (Q[4] * Q[8] - Q[5] * Q[7]) - Q[1] * (Q[3] * Q[8] - Q[5] * Q[6]) + Q[2] * (Q[3] * Q[7] - Q[4] * Q[6])
      good = np == n && ok == n && s[2] + 0 <= noise && rot
      printf "%s %.3f %d %d %s\n", good ? "recovered" : "lost", det, np, ok, s[2]
    }' "$2" "$dir/a.eq" "$dir/b.eq" "$dir/rot.dat"
}

recover() {
  local bin
  bin=$(abs "$1")
  local seeds=${2:-4}
  local alvex=$bin/alvex
  [ -x "$alvex" ] || alvex=$root/build/alvex
  prepare_pockets "$alvex"
  local sources=("$pockets"/4JSV_292 "$pockets"/1a0q_44 "$pockets"/1a0q_43) n seed
  for n in 60 100 150 200 300 400 500 700 1000; do
    for seed in $(seq 1 "$seeds"); do sources+=("$(cut_pocket "$n" $((100 * n + seed)))"); done
  done
  local total=0 good=0 mirror=0 src k=0
  for src in "${sources[@]}"; do
    for seed in $(seq 1 "$seeds"); do
      k=$((k + 1))
      [[ $src == */cut_* ]] && [ "$seed" -gt 1 ] && continue  # one copy per cut
      local copy dir atoms verdict
      copy=$(copy_pocket "$src" "$seed" 0.2 1)
      dir=$work/recover/$k
      mkdir -p "$dir"
      cp "$src" "$dir/a"
      cp "$copy" "$dir/b"
      (cd "$dir" && "$bin/veldrix" a null b null >.stdout 2>&1) || true
      atoms=$(wc -l <"$src")
      verdict=$(judge "$dir" "$copy.truth" "$atoms" 0.2)
      printf '%-16s %4d atoms  copy %d: %s\n' "$(basename "$src")" "$atoms" "$seed" "$verdict"
      total=$((total + 1))
      [[ $verdict == recovered* ]] && good=$((good + 1))
      awk -v d="$(echo "$verdict" | cut -d' ' -f2)" 'BEGIN { exit !(d < 0) }' && mirror=$((mirror + 1))
    done
  done
  echo "recovered: $good of $total   det(rot.dat) < 0: $mirror"
}

case "${1:-}" in
  compare) [ $# -eq 3 ] || { echo "usage: $0 compare OLD_DIR NEW_DIR" >&2; exit 2; }; compare "$2" "$3" ;;
  recover) [ $# -ge 2 ] || { echo "usage: $0 recover DIR [seeds]" >&2; exit 2; }; recover "$2" "${3:-}" ;;
  *) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
