# Shared by the comparison scripts (sourced, not run): builds the benchmark tree
# and times commands. The tree is deterministic for a given machine: text from
# the system's documentation, program binaries, generated text and random
# (incompressible) bytes, in nested folders.

# make_tree DIR MEGABYTES
make_tree() {
  local dir=$1 mb=$2
  mkdir -p "$dir/docs" "$dir/bin" "$dir/data/generated" "$dir/data/random"
  # Text: licences and documentation, as far as the system has them.
  find /usr/share/common-licenses /usr/share/doc -maxdepth 2 -type f -size -2M 2>/dev/null | sort | head -400 |
    while read -r f; do cp "$f" "$dir/docs/$(echo "${f#/usr/share/}" | tr '/' '_')" 2>/dev/null || true; done ||
    true  # head ends the listing early: the pipeline's status is not a failure
  # Binaries.
  for f in /usr/bin/{bash,ls,cp,tar,gzip,find,grep,sed,python3}; do
    [[ -f $f ]] && cp -L "$f" "$dir/bin/" 2>/dev/null || true
  done
  # Generated text, compressible: numbered log-like lines.
  local i
  for i in $(seq 1 8); do
    awk -v n="$i" -v mb="$mb" 'BEGIN { srand(n); lines = mb * 1024 * 1024 / 8 / 48;
      for (l = 0; l < lines; l++) printf "%08d entry=%d level=%d name=file%05d.dat ok\n", l, int(rand()*1000), int(rand()*10), int(rand()*99999) }' \
      > "$dir/data/generated/log$i.txt"
  done
  # Random bytes: a tenth of the size, incompressible.
  head -c $((mb * 1024 * 1024 / 10)) /dev/urandom > "$dir/data/random/noise.bin"
  # Many small files.
  for i in $(seq 1 300); do printf 'small file %d\n' "$i" > "$dir/data/small$i.txt"; done
}

# seconds_of COMMAND...: wall time of the best of three runs, in seconds.
seconds_of() {
  local best="" i start end t
  for i in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "command failed: $*" >&2; return 1; }
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [[ -z $best ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
  done
  printf '%.3f' "$best"
}

ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

# timed COMMAND...: wall seconds of one run, printed; returns the command's status.
timed() {
  local start end rc=0
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 </dev/null || rc=$?
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
  return $rc
}

# median: of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
