#!/usr/bin/env bash
# Compares `ach create` with `zip -r` on the same tree, at levels 6 and 9:
# wall time (best of three) and archive size, printed as ratios ach / zip
# (below 1 means ach is faster or smaller). Run by hand:
#   bench/create_vs_zip.sh [BUILD_DIR] [MEGABYTES]     (default build/native, 64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
mb=${2:-64}
ach=$build/tools/ach/ach
command -v zip >/dev/null || { echo "zip is not installed" >&2; exit 1; }
[[ -x $ach ]] || { echo "no ach in $build" >&2; exit 1; }
source "$root/bench/bench_tree.sh"

work=$(mktemp -d /tmp/orv-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
make_tree "$work/tree" "$mb"
echo "tree: $(du -sh "$work/tree" | cut -f1), $(find "$work/tree" -type f | wc -l) files"
cd "$work"

printf '%-6s %10s %10s %7s %12s %12s %7s\n' level "ach s" "zip s" time "ach bytes" "zip bytes" size
for level in 6 9; do
  t_ach=$(seconds_of bash -c "rm -f a.ach; '$ach' create a.ach -$level tree")
  t_zip=$(seconds_of bash -c "rm -f a.zip; zip -q -r -$level a.zip tree")
  s_ach=$(stat -c %s a.ach)
  s_zip=$(stat -c %s a.zip)
  printf '%-6s %10s %10s %7s %12s %12s %7s\n' "-$level" "$t_ach" "$t_zip" "$(ratio "$t_ach" "$t_zip")" \
    "$s_ach" "$s_zip" "$(ratio "$s_ach" "$s_zip")"
done
