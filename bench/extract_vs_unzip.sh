#!/usr/bin/env bash
# Compares `ach extract` with `unzip` on archives of the same tree made at
# level 6, wall time best of three, as the ratio ach / unzip, and puts both
# next to the machine's limit for raw inflate + CRC + write
# (bench_inflate_limit). Run by hand:
#   bench/extract_vs_unzip.sh [BUILD_DIR] [MEGABYTES]  (default build/native, 64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
mb=${2:-64}
ach=$build/tools/ach/ach
limit=$build/bench/bench_inflate_limit
command -v zip >/dev/null && command -v unzip >/dev/null || { echo "zip and unzip are needed" >&2; exit 1; }
[[ -x $ach ]] || { echo "no ach in $build" >&2; exit 1; }
source "$root/bench/bench_tree.sh"

work=$(mktemp -d /tmp/orv-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
make_tree "$work/tree" "$mb"
bytes=$(du -sb "$work/tree" | cut -f1)
echo "tree: $(du -sh "$work/tree" | cut -f1), $(find "$work/tree" -type f | wc -l) files"
cd "$work"
"$ach" create a.ach -6 tree >/dev/null
zip -q -r -6 a.zip tree

t_ach=$(seconds_of bash -c "rm -rf outa; '$ach' extract a.ach -o outa")
t_unzip=$(seconds_of bash -c "rm -rf outz; unzip -q a.zip -d outz")
diff -r tree outa/tree >/dev/null || { echo "ach extracted a different tree" >&2; exit 1; }
mib() { printf '%.1f' "$(echo "$bytes / 1048576 / $1" | bc -l)"; }
echo "ach extract: $t_ach s ($(mib "$t_ach") MiB/s)"
echo "unzip:       $t_unzip s ($(mib "$t_unzip") MiB/s)"
echo "ratio ach / unzip: $(ratio "$t_ach" "$t_unzip")"
if [[ -x $limit ]]; then
  # The limit re-creates the same tree with nothing but inflate, CRC-32 and
  # writes; best of three like the tools above.
  best=""
  for i in 1 2 3; do
    rm -rf "$work/outl"
    t=$("$limit" --tree "$work/tree" "$work/outl" | sed -n 's/^limit seconds: //p')
    if [[ -z $best ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
  done
  diff -r tree outl >/dev/null || { echo "the limit program wrote a different tree" >&2; exit 1; }
  echo "limit (inflate+crc+write of the same files): $best s ($(mib "$best") MiB/s)"
  echo "ratio ach / limit: $(ratio "$t_ach" "$best")  (1.15 or below is within 15% of the limit)"
fi
