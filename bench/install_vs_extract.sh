#!/usr/bin/env bash
# Compares installing a package with `ach extract` of the same payload: the
# package (ExtractToTemp=1, no setup) against ach on the archive inside it, in
# paired runs (install, then extract, five times), as the ratio of the medians.
# Run by hand:
#   bench/install_vs_extract.sh [BUILD_DIR] [MEGABYTES]  (default build/native, 64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
mb=${2:-64}
ach=$build/tools/ach/ach
stub=$build/tools/ach/sfxstub
[[ -x $ach && -x $stub ]] || { echo "no ach or sfxstub in $build" >&2; exit 1; }
source "$root/bench/bench_tree.sh"

work=$(mktemp -d /tmp/orv-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
make_tree "$work/tree" "$mb"
echo "tree: $(du -sh "$work/tree" | cut -f1), $(find "$work/tree" -type f | wc -l) files"
mkdir -p "$work/ctl" "$work/tmp"
printf '[Quilletage]\nDefaultTarget=%s\nSetupApp=none\nExtractToTemp=1\n' "$work/inst" >"$work/ctl/sfxinst.ini"
(cd "$work/ctl" && "$ach" create "$work/tree/sfxctrl.ach" sfxinst.ini >/dev/null)
(cd "$work/tree" && "$ach" create "$work/payload.ach" -6 -r . >/dev/null)
"$ach" sfx "$work/payload.ach" "$stub" "$work/package" >/dev/null
chmod 755 "$work/package"

elapsed() {  # command... -> seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 </dev/null || { echo "command failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
: >"$work/install.times"
: >"$work/extract.times"
for i in 1 2 3 4 5; do
  rm -rf "$work/inst" "$work/out"
  elapsed env TMPDIR="$work/tmp/" "$work/package" -nosetup:1 >>"$work/install.times"
  elapsed "$ach" extract "$work/payload.ach" -o "$work/out" >>"$work/extract.times"
done
diff -r "$work/out" "$work/inst" >/dev/null || { echo "the installed tree differs from ach's" >&2; exit 1; }
t_install=$(median <"$work/install.times")
t_extract=$(median <"$work/extract.times")
printf 'install (median of 5): %.3f s\n' "$t_install"
printf 'ach extract (median):  %.3f s\n' "$t_extract"
echo "ratio install / extract: $(ratio "$t_install" "$t_extract")  (the bar: 1.10 or below)"
