#!/usr/bin/env bash
# Compares `ach create -6 -j 1`, `ach create -6 -j 2` and `zip -r -6` on a tree of
# many small files held in memory (a copy of /usr/include, or TREE, in /dev/shm),
# writing the archives to memory too. Runs are paired: each round runs the three
# commands back to back in a rotating order, and the ratios of each round are
# taken before the median over the rounds, so that the machine's drift (other
# work on the shared cores) hits both sides of a ratio alike. Also prints the peak
# resident size of `ach create -j 2`. Run by hand:
#   bench/threads_create.sh [BUILD_DIR] [ROUNDS] [TREE]   (default build/native, 7, /usr/include)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
rounds=${2:-7}
source_tree=${3:-/usr/include}
ach=$build/tools/ach/ach
[[ -x $ach ]] || { echo "no ach in $build" >&2; exit 1; }
have_zip=0
command -v zip >/dev/null && have_zip=1

base=/dev/shm
[[ -d $base && -w $base ]] || base=/tmp
work=$(mktemp -d "$base/orv-bench-j.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$source_tree" "$work/tree"
cd "$work"
echo "tree: $source_tree, $(du -sh tree | cut -f1), $(find tree -type f | wc -l) files, $(nproc) processors"

source "$root/bench/bench_tree.sh"

: >r12 && : >r2z && : >r1z
for ((i = 0; i < rounds; i++)); do
  declare -A t=()
  order=(j1 j2 zip)
  for ((k = 0; k < i % 3; k++)); do order=("${order[@]:1}" "${order[0]}"); done
  for what in "${order[@]}"; do
    rm -f a.ach a.zip
    case $what in
      j1) t[j1]=$(timed "$ach" create a.ach -6 -j 1 tree) || true ;;
      j2) t[j2]=$(timed "$ach" create a.ach -6 -j 2 tree) || true ;;
      zip) if [[ $have_zip -eq 1 ]]; then t[zip]=$(timed zip -q -r -6 a.zip tree) || true; else t[zip]=0; fi ;;
    esac
  done
  echo "${t[j2]} / ${t[j1]}" | bc -l >>r12
  if [[ $have_zip -eq 1 ]]; then
    echo "${t[j2]} / ${t[zip]}" | bc -l >>r2z
    echo "${t[j1]} / ${t[zip]}" | bc -l >>r1z
  fi
  echo "round $((i + 1)): -j1 ${t[j1]} s, -j2 ${t[j2]} s, zip ${t[zip]} s"
done
rm -f a.ach a.zip
"$ach" create a.ach -6 -j 1 tree >/dev/null 2>&1 || true
size_ach=$(stat -c %s a.ach)
/usr/bin/time -o peak -f %M "$ach" create b.ach -6 -j 2 tree >/dev/null 2>&1 || true
peak=$(tail -1 peak)
printf 'median of paired ratios: -j2 / -j1 %.3f' "$(median <r12)"
if [[ $have_zip -eq 1 ]]; then
  zip -q -r -6 a.zip tree || true
  printf ', -j1 / zip %.3f, -j2 / zip %.3f; size ach / zip %.4f' "$(median <r1z)" "$(median <r2z)" \
    "$(echo "$size_ach / $(stat -c %s a.zip)" | bc -l)"
fi
printf '\npeak resident size of ach create -6 -j 2: %s KiB\n' "$peak"
