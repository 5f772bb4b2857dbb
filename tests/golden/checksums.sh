#!/usr/bin/env bash
# Checksums of every output of both programs on the bundled structures.
#
#   tests/golden/checksums.sh check ALVEX VELDRIX VELDRIX_OLD
#       runs the cases below and compares with alvex.md5 and veldrix.md5
#       beside this script; exit 1 and the differing lines on any change
#   tests/golden/checksums.sh write ALVEX VELDRIX VELDRIX_OLD
#       rewrites those two lists (tests/golden/update.sh does this)
#
# One line per output file, "MD5  CASE: FILE"; standard output, standard
# error (the seconds of the timing line masked) and the exit status count as
# the files .stdout, .stderr and .status.  Nothing else is masked.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
data=$(cd "$here/../../data" && pwd)

[ $# -eq 4 ] && { [ "$1" = check ] || [ "$1" = write ]; } ||
  { sed -n '2,12p' "$0" >&2; exit 2; }
mode=$1
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
alvex=$(abs "$2") veldrix=$(abs "$3") veldrix_old=$(abs "$4")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# alvex per structure: letters|number|probe|chains, empty fields left off.
cases=(
  "-fdacxitu|||" "-fu|5|1.4|A|B" "-fdacitu|3|1.0|"
  "-fp|||" "-fp7|-2.5|1.4|" "-fp|2.5|0|"
  "-fq0|||" "-fq1|||" "-fq2|||" "-fq3|||" "-fq|||" "-fq6|2.5|0.5|" "-fq1|-1|0|" "-fpq2|-3||"
  "-frdacq|||" "-fkdp|||" "-fbdcq|||" "-fsdtp|||" "dq|||"
)

# Runs a program in a fresh folder DIR (which already holds its inputs) and
# appends the checksum of every file it leaves there, but the inputs, to LIST.
record() {  # list dir label program args...
  local list=$1 dir=$2 label=$3 rc=0 f
  shift 3
  local inputs
  inputs=$(ls -A "$dir")
  (cd "$dir" && "$@" >.stdout 2>.stderr) || rc=$?
  echo "$rc" >"$dir/.status"
  sed -i -E 's/^[0-9.e+-]+ seconds for /N seconds for /' "$dir/.stderr"
  for f in $(ls -A "$dir" | LC_ALL=C sort); do
    grep -qxF -- "$f" <<<"$inputs" && continue
    printf '%s  %s: %s\n' "$(md5sum <"$dir/$f" | cut -c1-32)" "$label" "$f" >>"$list"
  done
}

alvex_list=$work/alvex.md5
: >"$alvex_list"
n=0
for pdb in "$data"/*.pdb; do
  name=$(basename "$pdb")
  for c in "${cases[@]}"; do
    IFS='|' read -r letters num probe chains <<<"$c"
    args=("$letters" . "$name")
    [ -n "$num" ] && args+=("$num")
    [ -n "$probe" ] && args+=("$probe")
    [ -n "$chains" ] && args+=("$chains")
    d=$work/run/$((n += 1))
    mkdir -p "$d"
    cp "$pdb" "$d/"
    record "$alvex_list" "$d" "alvex ${args[*]}" "$alvex" "${args[@]}"
  done
done
# Once: a list of every structure, a missing structure, the usage text.
d=$work/run/list
mkdir -p "$d"
cp "$data"/*.pdb "$d/"
(cd "$d" && ls *.pdb) >"$d/list.txt"
record "$alvex_list" "$d" "alvex -ldp . list.txt" "$alvex" -ldp . list.txt
d=$work/run/missing
mkdir -p "$d"
record "$alvex_list" "$d" "alvex -fd . missing.pdb" "$alvex" -fd . missing.pdb
d=$work/run/usage
mkdir -p "$d"
record "$alvex_list" "$d" "alvex" "$alvex"

# veldrix on pockets that alvex cut (letter p): the two largest pockets of
# 1a0q and of 1ubq as five-token point files A1, A2, U1, U2.
pockets=$work/pockets
mkdir -p "$pockets"
for sp in 1a0q:A 1ubq:U; do
  s=${sp%:*}
  d=$work/run/pockets_$s
  mkdir -p "$d"
  cp "$data/$s.pdb" "$d/"
  (cd "$d" && "$alvex" -fp . "$s.pdb" >/dev/null 2>&1)
  awk -v out="$d/pocket_" '{
    x = substr($0, 31, 8); y = substr($0, 39, 8); z = substr($0, 47, 8)
    a = substr($0, 13, 4); r = substr($0, 18, 3)
    gsub(/ /, "", x); gsub(/ /, "", y); gsub(/ /, "", z); gsub(/ /, "", a); gsub(/ /, "", r)
    print x, y, z, a, r > (out (substr($0, 67, 4) + 0))
  }' "$d/$s.poc"
  k=0
  for f in $(wc -l "$d"/pocket_* | grep -v ' total$' | sort -k1,1nr -k2,2 | head -n 2 |
    awk '{ print $2 }'); do
    cp "$f" "$pockets/${sp#*:}$((k += 1))"
  done
done
awk '{ print 1 + NR % 3 }' "$pockets/U1" >"$pockets/U1.freq"

veldrix_list=$work/veldrix.md5
: >"$veldrix_list"
veldrix_case() {  # program-name program args...
  local label=$1 program=$2 a
  shift 2
  d=$work/run/v$((n += 1))
  mkdir -p "$d"
  for a in "$@"; do
    if [ -e "$pockets/$a" ]; then cp "$pockets/$a" "$d/"; fi
  done
  record "$veldrix_list" "$d" "$label $*" "$program" "$@"
}
veldrix_case veldrix "$veldrix" A1 null A2 null
veldrix_case veldrix "$veldrix" A2 null U1 U1.freq
veldrix_case veldrix "$veldrix" U1 null U1 null
veldrix_case veldrix-old "$veldrix_old" A1 U1 0.5
veldrix_case veldrix "$veldrix" A1 null

if [ "$mode" = write ]; then
  cp "$alvex_list" "$veldrix_list" "$here/"
  echo "wrote $here/alvex.md5 ($(wc -l <"$alvex_list") files), $here/veldrix.md5 ($(wc -l <"$veldrix_list") files)"
  exit 0
fi
status=0
for l in alvex veldrix; do
  if ! diff -u "$here/$l.md5" "$work/$l.md5"; then
    echo "$l outputs changed; if that is meant, run tests/golden/update.sh" >&2
    status=1
  fi
done
exit $status
