#!/usr/bin/env bash
# Rebuilds the programs in BUILD (default build/) and rewrites alvex.md5 and veldrix.md5 from their outputs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target alvex veldrix veldrix-old >/dev/null
exec "$here/checksums.sh" write "$build/alvex" "$build/veldrix" "$build/veldrix-old"
