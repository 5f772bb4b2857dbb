#!/usr/bin/env bash
# Byte comparison of every alvex output between two builds.
#
#   bench/compare.sh record OUT ALVEX [structure.pdb ...]
#       runs ALVEX over the case matrix below and keeps every file it writes,
#       its standard output, standard error and exit status under OUT
#   bench/compare.sh diff OLD NEW
#       compares two recorded folders; exit 1 on any difference
#   bench/compare.sh OLD_ALVEX_OR_FOLDER NEW_ALVEX [structure.pdb ...]
#       records what is needed into a scratch folder and compares
#
# The structures default to data/*.pdb and ../shared/data/pdb/*.pdb (once
# each by name). The seconds of the timing line are masked: nothing else is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# letters|number|probe|chains; empty fields are left off the command line.
cases=(
  "-fdacxitu|||" "-fa|||" "-fc|||" "-fx|||" "-fi|||" "-ft|||" "-fu|||"
  "-fu|5|1.4|A|B" "-fdacitu|3|1.0|"
  "-fp|||" "-fp7|||" "-fp|-2.5|1.4|" "-fp|2.5|0|" "-fp|0|3|"
  "-fq0|||" "-fq1|||" "-fq2|||" "-fq3|||" "-fq|||" "-fq6|||"
  "-fq4|-2.79|1.4|" "-fq6|2.5|0.5|" "-fq1|-1|0|" "-fpq2|1|1.4|"
  "-frdacq|||" "-fkdp|||" "-fbdcq|||" "-fsdtp|||"
  "-ldp|||" "dq|||"
)

default_structures() {
  local seen=" " s n
  for s in "$root"/data/*.pdb "$root"/../shared/data/pdb/*.pdb; do
    [ -e "$s" ] || continue
    n=$(basename "$s")
    case "$seen" in *" $n "*) continue ;; esac
    seen="$seen$n "
    echo "$s"
  done
}

run_case() {  # out alvex pdb index case
  local out=$1 alvex=$2 pdb=$3 idx=$4 entry=$5
  local name letters num probe chains dir
  name=$(basename "$pdb")
  IFS='|' read -r letters num probe chains <<<"$entry"
  dir="$out/$name/$idx"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$pdb" "$dir/$name"
  local file=$name
  if [[ $letters == *l* ]]; then
    printf '%s\n' "$name" >"$dir/list.txt"
    file=list.txt
  fi
  local args=("$letters" . "$file")
  [ -n "$num" ] && args+=("$num")
  [ -n "$probe" ] && args+=("$probe")
  [ -n "$chains" ] && args+=("$chains")
  printf '%s\n' "${args[*]}" >"$dir/.command"
  local rc=0
  (cd "$dir" && "$alvex" "${args[@]}" >.stdout 2>.stderr) || rc=$?
  echo "$rc" >"$dir/.rc"
  sed -i -E 's/^[0-9.e+-]+ seconds for /N seconds for /' "$dir/.stderr"
  rm -f "$dir/$name"
}
export -f run_case

record() {  # out alvex structures...
  local out=$1 alvex
  alvex=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
  shift 2
  local structures=("$@")
  [ ${#structures[@]} -gt 0 ] || mapfile -t structures < <(default_structures)
  mkdir -p "$out"
  local jobs=()
  for s in "${structures[@]}"; do
    for i in "${!cases[@]}"; do
      jobs+=("$out"$'\t'"$alvex"$'\t'"$(cd "$(dirname "$s")" && pwd)/$(basename "$s")"$'\t'"$i"$'\t'"${cases[$i]}")
    done
  done
  printf '%s\n' "${jobs[@]}" |
    xargs -d '\n' -P "$(nproc)" -I{} bash -c 'IFS=$'"'"'\t'"'"' read -r a b c d e <<<"$1"; run_case "$a" "$b" "$c" "$d" "$e"' _ {}
}

compare() {  # old new
  if diff -r "$1" "$2" >/dev/null; then
    echo "identical: $(find "$2" -type f | wc -l) files"
  else
    diff -rq "$1" "$2" | head -50
    return 1
  fi
}

case "${1:-}" in
  record) shift; record "$@" ;;
  diff) shift; compare "$1" "$2" ;;
  "" | -h | --help) sed -n '2,13p' "$0" ;;
  *)
    old=$1 new=$2
    shift 2
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    if [ -d "$old" ]; then olddir=$old; else olddir=$scratch/old; record "$olddir" "$old" "$@"; fi
    record "$scratch/new" "$new" "$@"
    compare "$olddir" "$scratch/new"
    ;;
esac
