#!/usr/bin/env bash
# The threaded theme assignment pass and the memory of a run.
#
#   bench/scaling.sh BUILD-DIR [SOURCE-FOLDER]
#
# For 1, 2 and all online cores (threads=N), runs karvel-batch three times on
# the folder's #src and #kwd (default: the 1 GiB source of compare.sh) and
# prints the median time of the theme assignment pass, from the output-list
# line "Find Offsets: ..." to "Find Offsets done", its speed-up over one
# thread, the median wall time of the run and its largest anonymous resident
# memory (RssAnon of /proc/PID/status, read every 10 ms: the pages of the
# mapped source are file pages and are not counted), next to the limit of
# 64 MB plus 64 bytes a block, and GNU time's peak resident set, which counts
# the mapped source too.
set -euo pipefail
batch=$(realpath "$1")/batch/karvel-batch
dir=${2:-${KARVEL_BENCH_DATA:-/work/bench-data}/compare/keyword-1Gi-k4999}
cores=$(nproc)
counts=(1 2)
((cores > 2)) && counts+=("$cores")

# Largest RssAnon, in kB, of process $1 while it lives.
anon_peak() {
  local peak=0 kb
  while kb=$(awk '/^RssAnon:/ { print $2 }' "/proc/$1/status" 2>/dev/null) && [[ -n $kb ]]; do
    ((kb > peak)) && peak=$kb
    sleep 0.01
  done
  echo "$peak"
}

one_run() { # threads: prints "pass-ms wall-ms peak-kB blocks anon-kB"
  local scratch
  scratch=$(mktemp -d)
  (
    cd "$scratch"
    mkfifo list
    start=$(date +%s%N)
    /usr/bin/time -o time.txt -f '%M' "$batch" "src=$dir/#src" "kwd=$dir/#kwd" dst=d rst=r dbl=b \
      log=l rst_dst=N "threads=$1" </dev/null >list &
    while IFS= read -r line; do
      case $line in
      "Find Offsets: "*) echo "from $(date +%s%N) ${line#Find Offsets: }" ;;
      "Find Offsets done") echo "to $(date +%s%N)" ;;
      esac
    done <list >marks.txt &
    reader=$!
    sleep 0.005
    anon_peak "$(pgrep -n -f "^$batch src=$dir")" >anon.txt
    wait "$reader"
    wait
    end=$(date +%s%N)
    awk -v start="$start" -v end="$end" -v kb="$(tail -n 1 time.txt)" -v anon="$(cat anon.txt)" '
      $1 == "from" { from = $2; blocks = $3 } $1 == "to" { to = $2 }
      END { printf "%d %d %d %d %d\n", (to - from) / 1e6, (end - start) / 1e6, kb, blocks, anon }' marks.txt
  )
  rm -rf "$scratch"
}

cat "$dir/#src" >/dev/null
printf '| threads | pass s | pass speed-up | wall s | peak anonymous MB | limit MB | peak RSS MB (with the mapping) |\n|---|---|---|---|---|---|---|\n'
base_pass=
for n in "${counts[@]}"; do
  runs=$(for _ in 1 2 3; do one_run "$n"; done)
  pass=$(cut -d' ' -f1 <<<"$runs" | sort -n | sed -n 2p)
  wall=$(cut -d' ' -f2 <<<"$runs" | sort -n | sed -n 2p)
  peak=$(cut -d' ' -f3 <<<"$runs" | sort -n | tail -n 1)
  blocks=$(cut -d' ' -f4 <<<"$runs" | head -n 1)
  anon=$(cut -d' ' -f5 <<<"$runs" | sort -n | tail -n 1)
  base_pass=${base_pass:-$pass}
  awk -v n="$n" -v p="$pass" -v b="$base_pass" -v w="$wall" -v k="$peak" -v blocks="$blocks" \
    -v a="$anon" 'BEGIN {
    printf "| %d | %.2f | %.2f | %.2f | %.1f | %.1f | %.1f |\n", n, p / 1000, b / p, w / 1000,
      a / 1000, 64 + 64 * blocks / 1e6, k / 1000 }'
done
echo "blocks: $blocks; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
