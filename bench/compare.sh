#!/usr/bin/env bash
# Compares `ach` with the usual archivers on three corpora held in memory
# (/dev/shm): a tree of real files of this machine (headers, Python and Perl
# libraries, man pages), 100,000 small files and one 64 MiB file. For create and
# for extract it runs `ach` (default -j, level 6) against zip -r -6 / unzip,
# bsdtar (zip format), 7z a -tzip -mx=5 / 7z x and tar + pigz -6, in pairs: each
# round runs ach and the other tool back to back, the order alternating from
# round to round, and the table shows the median of the per-pair ratios, so
# that the load of other work on the machine hits both sides of a ratio alike.
# Each tool extracts the archive it made itself. Next to the extract rows stands
# the machine's limit (bench_inflate_limit: raw inflate + CRC + write of the
# same files). A tool that is not installed is skipped with a note. Run by hand:
#   bench/compare.sh [BUILD_DIR] [--quick]          (default build/native)
# --quick: a 40 MB tree, 20,000 small files and 3 rounds instead of 180 MB,
# 100,000 and 5. ORV_BENCH_ROUNDS overrides the rounds; ORV_BENCH_OUT=DIR puts
# the extracted files in DIR (a disk) instead of memory; ORV_BENCH_CORPORA="big"
# (any of real, small, big) runs only those corpora; ORV_BENCH_LEVEL=9 compresses
# at level 9 instead of 6 (7z at -mx=9 instead of -mx=5).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_arg="" quick=0
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    *) build_arg=$arg ;;
  esac
done
build=$(cd "${build_arg:-$root/build/native}" && pwd)
ach=$build/tools/ach/ach
limit=$build/bench/bench_inflate_limit
[[ -x $ach ]] || { echo "no ach in $build" >&2; exit 1; }
source "$root/bench/bench_tree.sh"

if [[ $quick -eq 1 ]]; then tree_mb=40 small_files=20000 rounds=3; else tree_mb=180 small_files=100000 rounds=5; fi
rounds=${ORV_BENCH_ROUNDS:-$rounds}

base=/dev/shm
[[ -d $base && -w $base ]] || base=/tmp
work=$(mktemp -d "$base/orv-compare.XXXXXX")
out_base=$work
if [[ -n ${ORV_BENCH_OUT:-} ]]; then out_base=$(mktemp -d "$ORV_BENCH_OUT/orv-compare-out.XXXXXX"); fi
trap 'rm -rf "$work"; [[ $out_base == "$work" ]] || rm -rf "$out_base"' EXIT

# --- The corpora --------------------------------------------------------------

# real_tree DIR MEGABYTES: whole subfolders and files of the system's Perl and
# Python libraries, man pages and headers, in a fixed order, each source taking
# an equal share of MEGABYTES (what a small one leaves goes to the next ones).
# Links are followed (every tool then stores the same bytes); names that an
# archive cannot hold on Windows (ach skips them, see `ach create --help`) are
# left out so that every tool packs the same files.
real_tree() {
  local dir=$1 limit_bytes=$(($2 * 1000 * 1000)) total=0 src entry name python quota i=0 sources=()
  python=$(ls -d /usr/lib/python3.[0-9]* 2>/dev/null | sort -V | tail -1 || true)
  for src in /usr/share/perl5 ${python:+"$python"} /usr/share/man /usr/include; do
    [[ -d $src ]] && sources+=("$src")
  done
  mkdir -p "$dir"
  for src in "${sources[@]}"; do
    quota=$((total + (limit_bytes - total) / (${#sources[@]} - i)))
    i=$((i + 1))
    name=$(echo "${src#/usr/}" | tr '/' '_')
    mkdir -p "$dir/$name"
    while read -r entry; do
      (( total < quota )) || break
      cp -rL "$src/$entry" "$dir/$name/" 2>/dev/null || true
      find "$dir/$name/$entry" -name '__pycache__' -prune -exec rm -rf {} + 2>/dev/null || true
      total=$((total + $(du -sb "$dir/$name/$entry" 2>/dev/null | cut -f1 || echo 0)))
    done < <(ls -A "$src" | LC_ALL=C sort)
  done
  find "$dir" \( -name '*[:*?<>|"]*' -o -name '*.' -o -name '* ' \) -exec rm -rf {} + 2>/dev/null || true
  find "$dir" ! -type f ! -type d -delete 2>/dev/null || true
}

# small_tree DIR COUNT: COUNT small text files (20 to 2,000 bytes), 1,000 a folder.
small_tree() {
  mkdir -p "$1"
  awk -v dir="$1" -v n="$2" 'BEGIN { srand(7)
    for (i = 0; i < n; i++) {
      d = sprintf("%s/d%03d", dir, int(i / 1000)); if (i % 1000 == 0) system("mkdir -p " d)
      f = sprintf("%s/f%06d.txt", d, i); lines = 1 + int(rand() * 40)
      for (l = 0; l < lines; l++) printf "%d: value=%d name=item%05d\n", l, int(rand() * 100000), int(rand() * 99999) > f
      close(f) } }'
}

# big_file DIR: one file of 64 MiB, the mixed content of make_tree (binaries,
# documentation, random bytes, generated text) laid end to end.
big_file() {
  local dir=$1 parts=$work/big-parts
  make_tree "$parts" 56
  mkdir -p "$dir"
  { cat "$parts"/bin/* "$parts"/docs/* "$parts"/data/random/* "$parts"/data/generated/* 2>/dev/null || true; } |
    head -c $((64 * 1024 * 1024)) >"$dir/big.bin"
  rm -rf "$parts"
}

echo "building the corpora in $work ..."
read -r -a corpora <<<"${ORV_BENCH_CORPORA:-real small big}"
for c in "${corpora[@]}"; do
  case $c in
    real) real_tree "$work/real/tree" "$tree_mb" ;;
    small) small_tree "$work/small/tree" "$small_files" ;;
    big) big_file "$work/big/tree" ;;
    *) echo "unknown corpus $c (real, small, big)" >&2; exit 1 ;;
  esac
done
for c in "${corpora[@]}"; do
  echo "corpus $c: $(($(du -sb "$work/$c/tree" | cut -f1) / 1000000)) MB in $(find "$work/$c/tree" -type f | wc -l) files"
done
echo "machine: $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg), $rounds rounds, level ${ORV_BENCH_LEVEL:-6}"

# --- The tools ----------------------------------------------------------------

# Each tool has a create and an extract command, run by bash -c inside the
# corpus folder (the files are below "tree"); $A is the archive, $O the output folder.
declare -A create extract suffix needs
level=${ORV_BENCH_LEVEL:-6}
[[ $level =~ ^[1-9]$ ]] || { echo "ORV_BENCH_LEVEL must be 1 to 9" >&2; exit 1; }
sevenzip_level=$([[ $level == 6 ]] && echo 5 || echo "$level")
create[ach]='"$ACH" create "$A" -'$level' tree'
extract[ach]='"$ACH" extract "$A" -o "$O"'
suffix[ach]=ach needs[ach]=""
create[zip]='zip -q -r -'$level' "$A" tree'
extract[zip]='unzip -q "$A" -d "$O"'
suffix[zip]=zip needs[zip]="zip unzip"
create[bsdtar]='bsdtar --format zip --options zip:compression-level='$level' -cf "$A" tree'
extract[bsdtar]='mkdir -p "$O" && bsdtar -xf "$A" -C "$O"'
suffix[bsdtar]=zip needs[bsdtar]=bsdtar
create[7z]='7z a -tzip -mx='$sevenzip_level' "$A" tree'
extract[7z]='7z x -y -o"$O" "$A"'
suffix[7z]=zip needs[7z]=7z
create[pigz]='tar -cf - tree | pigz -'$level' >"$A"'
extract[pigz]='mkdir -p "$O" && pigz -dc "$A" | tar -xf - -C "$O"'
suffix[pigz]=tgz needs[pigz]="tar pigz"
declare -A label=([ach]="ach -$level" [zip]="zip -$level / unzip" [bsdtar]="bsdtar zip" [7z]="7z -tzip -mx=$sevenzip_level"
  [pigz]="tar + pigz -$level")

others=()
for tool in zip bsdtar 7z pigz; do
  missing=""
  for program in ${needs[$tool]}; do command -v "$program" >/dev/null || missing+=" $program"; done
  if [[ -n $missing ]]; then echo "note: skipping ${label[$tool]}: not installed:$missing"; else others+=("$tool"); fi
done

# run TOOL OPERATION CORPUS ROUND: one timed run; prints seconds (empty on failure).
run() {
  local tool=$1 op=$2 c=$3 round=$4 cmd
  export ACH=$ach A="$work/$c/$tool.${suffix[$tool]}" O="$out_base/$c-out-$tool"
  rm -rf "$O"
  if [[ $op == create ]]; then rm -f "$A"; cmd=${create[$tool]}; else cmd=${extract[$tool]}; fi
  if ! (cd "$work/$c" && timed bash -o pipefail -c "$cmd"); then
    echo "note: ${label[$tool]} $op failed on $c (round $round)" >&2
  fi
}

# --- The runs -----------------------------------------------------------------

results=$work/results
: >"$results"
row() { printf '%-6s %-8s %-16s %9s %10s %14s %9s\n' "$@" | tee -a "$results"; }
measure() {  # CORPUS OPERATION
  local c=$1 op=$2 tool round t_ach t_tool ach_times
  ach_times=$work/ach.times
  : >"$ach_times"
  for tool in "${others[@]}"; do
    : >"$work/tool.times" && : >"$work/ratios"
    for ((round = 0; round < rounds; round++)); do
      if ((round % 2 == 0)); then
        t_ach=$(run ach "$op" "$c" "$round"); t_tool=$(run "$tool" "$op" "$c" "$round")
      else
        t_tool=$(run "$tool" "$op" "$c" "$round"); t_ach=$(run ach "$op" "$c" "$round")
      fi
      [[ -n $t_ach && -n $t_tool ]] || continue
      echo "$t_ach" >>"$ach_times"
      echo "$t_tool" >>"$work/tool.times"
      echo "$t_ach / $t_tool" | bc -l >>"$work/ratios"
    done
    if [[ ! -s $work/ratios ]]; then row "$c" "$op" "${label[$tool]}" failed - - -; continue; fi
    local s_ach s_tool
    s_ach=$(stat -c %s "$work/$c/ach.ach") s_tool=$(stat -c %s "$work/$c/$tool.${suffix[$tool]}")
    row "$c" "$op" "${label[$tool]}" "$(printf '%.3f' "$(median <"$work/tool.times")")" \
      "$(printf '%.3f' "$(median <"$work/ratios")")" "$s_tool" "$(printf '%.4f' "$(echo "$s_ach / $s_tool" | bc -l)")"
  done
  [[ -s $ach_times ]] || ach_times=/dev/null
  [[ $ach_times == /dev/null ]] && t_ach=0 || t_ach=$(median <"$ach_times")
  row "$c" "$op" "ach (all pairs)" "$(printf '%.3f' "$t_ach")" 1 "$(stat -c %s "$work/$c/ach.ach" 2>/dev/null || echo -)" 1
  if [[ $op == extract ]]; then
    # ach's last output must be the tree its archive was made from.
    diff -r "$work/$c/tree" "$out_base/$c-out-ach/tree" >/dev/null || echo "note: ach extracted a different tree for $c" >&2
    if [[ -x $limit ]]; then
      : >"$work/limit.times"
      for ((round = 0; round < rounds; round++)); do
        rm -rf "$out_base/$c-out-limit"
        "$limit" --tree "$work/$c/tree" "$out_base/$c-out-limit" | sed -n 's/^limit seconds: //p' >>"$work/limit.times"
      done
      t_limit=$(median <"$work/limit.times")
      row "$c" "$op" "limit (inflate)" "$(printf '%.3f' "$t_limit")" \
        "$(printf '%.3f' "$(echo "$t_ach / $t_limit" | bc -l)")" - -
    else
      echo "note: no $limit, no limit row" >&2
    fi
  fi
  rm -rf "$out_base/$c-out-"*
}

echo
row corpus op tool "median s" "ach/tool" "tool bytes" "ach/tool"
for c in "${corpora[@]}"; do
  measure "$c" create
  measure "$c" extract
done
echo
echo "seconds: the tool's median wall time; first ach/tool: median of the paired time"
echo "ratios (below 1: ach is faster); bytes: the tool's archive; last ach/tool: size ratio."
echo "ach (all pairs): ach's median over every pair of that row group; limit: ach / limit."
