#!/usr/bin/env bash
# Times veldrix on synthetic pockets of 300, 1000 and 2000 atoms.
# Targets on the development machine: 1000 atoms <= 0.3 s, 2000 atoms <= 1.5 s.
# Usage: bench/veldrix.sh [path/to/veldrix] [sizes...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../build/veldrix}"
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(300 1000 2000)
bin="$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")"
[ -x "$bin" ] || { echo "no veldrix binary at $bin (build first)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
for n in "${sizes[@]}"; do
    awk -v n="$n" -v seed=7 -v out1="a$n" -v out2="b$n" -f "$here/veldrix_pockets.awk"
    start=$(date +%s.%N)
    "$bin" "a$n" null "b$n" null > "log$n"
    end=$(date +%s.%N)
    printf '%5d atoms: %6.2f s   summary: %s\n' "$n" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$(tail -n 1 "log$n")"
done
