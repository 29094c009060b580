#!/usr/bin/env bash
# Runs karvel-batch on generated sources and prints, for every run, its wall
# time, its peak memory and its time as a multiple of `wc -l` on the same
# file; then the statistics pass against `wc -l` on the largest source.
#
# Builds nothing: give the build folder that holds batch/karvel-batch and
# bench/karvel-generate (argument or KARVEL_BUILD_DIR). Generated sources are
# kept in the data folder (default /work/bench-data) and made only once.
set -euo pipefail

readonly GENERATOR_FORMAT=2 # raise when karvel-generate writes different files
readonly ALL_SETS="10M,100M,1G,sep,bigtheme,manythemes,nearcopies,nolimit,stats"

usage() {
  cat <<'EOF'
usage: bench/run_bench.sh [options] [BUILD_DIR]
  BUILD_DIR        build folder (or KARVEL_BUILD_DIR); default: build-bench next to bench/
  --quick          only the 10 MB sources and the statistics pass on them
  --sets LIST      comma-separated, from: 10M 100M 1G sep bigtheme manythemes
                   nearcopies nolimit stats (default: all of them)
  --data DIR       data folder (or KARVEL_BENCH_DATA); default /work/bench-data
  --seed N         generator seed (default 1)
  --timeout S      longest run in seconds before it is stopped (default 900)
  --help           this text
Sets: 10M, 100M and 1G are sources of that size with 10, 500 and 4999 keywords;
sep is 100 MB with 500 keywords in separator mode; bigtheme is one theme of
1,000,000 blocks; manythemes is 2000 themes of 400 blocks. Every source runs
with similarity off and on. nearcopies is one theme of 100,000 text blocks, a
tenth of them near copies, searched with sim_max=0 (similarity Y0); nolimit
runs the 100 MB sources with similarity on, with and without the limit. stats
times the statistics pass on the largest source of the chosen sets.
EOF
}

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${KARVEL_BUILD_DIR:-$script_dir/../build-bench}
data_dir=${KARVEL_BENCH_DATA:-/work/bench-data}
sets=$ALL_SETS
seed=1
run_timeout=900

while (($# > 0)); do
  case $1 in
  --quick) sets="10M,stats" ;;
  --sets)
    sets=${2:?--sets needs a list}
    shift
    ;;
  --data)
    data_dir=${2:?--data needs a folder}
    shift
    ;;
  --seed)
    seed=${2:?--seed needs a number}
    shift
    ;;
  --timeout)
    run_timeout=${2:?--timeout needs seconds}
    shift
    ;;
  --help | -h)
    usage
    exit 0
    ;;
  -*)
    echo "run_bench.sh: unknown option $1" >&2
    usage >&2
    exit 2
    ;;
  *) build_dir=$1 ;;
  esac
  shift
done

batch=$build_dir/batch/karvel-batch
generate=$build_dir/bench/karvel-generate
stats_bench=$build_dir/bench/karvel-stats-bench
for program in "$batch" "$generate" "$stats_bench"; do
  if [[ ! -x $program ]]; then
    echo "run_bench.sh: $program not found; build first, for example:" >&2
    echo "  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKARVEL_BUILD_APP=OFF" >&2
    echo "  cmake --build build-bench -j2" >&2
    exit 1
  fi
done
if [[ ! -x /usr/bin/time ]]; then
  echo "run_bench.sh: GNU time (/usr/bin/time) is needed for peak memory; install it with" >&2
  echo "  apt-get install -y time" >&2
  exit 1
fi
batch=$(realpath "$batch")
generate=$(realpath "$generate")
stats_bench=$(realpath "$stats_bench")
mkdir -p "$data_dir/runs" "$data_dir/results"
data_dir=$(realpath "$data_dir")

has_set() { [[ ,$sets, == *,$1,* ]]; }

for set in ${sets//,/ }; do
  if [[ ,$ALL_SETS, != *,$set,* ]]; then
    echo "run_bench.sh: unknown set '$set'" >&2
    exit 2
  fi
done

# ---------------------------------------------------------------- data ----

# make_source NAME GENERATOR-ARGUMENTS...: the folder DATA/NAME with #src and
# #kwd, generated unless an earlier run left them with the same arguments.
make_source() {
  local name=$1
  shift
  local dir=$data_dir/$name
  local stamp="format $GENERATOR_FORMAT seed $seed: $*"
  if [[ -f $dir/#src && -f $dir/#kwd && -f $dir/.generated && $(<"$dir/.generated") == "$stamp" ]]; then
    return
  fi
  echo "generating $name ($*)" >&2
  mkdir -p "$dir"
  rm -f "$dir/.generated"
  "$generate" --seed "$seed" --out "$dir" "$@" >"$dir/.summary"
  sed 's/^/  /' "$dir/.summary" >&2
  echo "$stamp" >"$dir/.generated"
}

# ------------------------------------------------------------- timing ----

# wc_seconds FILE: best of three warm runs of wc -l (after one to warm up).
wc_seconds() {
  local file=$1 best="" start end elapsed
  # EPOCHREALTIME read in place: a $(...) would add a fork to the time.
  wc -l <"$file" >/dev/null
  for _ in 1 2 3; do
    start=${EPOCHREALTIME/,/.}
    wc -l <"$file" >/dev/null
    end=${EPOCHREALTIME/,/.}
    elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    if [[ -z $best ]] || awk -v a="$elapsed" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$elapsed
    fi
  done
  echo "$best"
}

# stamp_lines: each line of standard input behind the time it arrived.
# karvel-batch flushes every line of its output list, so these times mark
# the end of its stages.
stamp_lines() {
  local line
  while IFS= read -r line || [[ -n $line ]]; do
    printf '%s %s\n' "${EPOCHREALTIME/,/.}" "$line"
  done
}

# stage_seconds START FILE: seconds of the statistics pass (start to "Done"),
# keywords and block index (to "Themes processing"), themes loop and sorted
# output (to "Rest file saving..."), rest file (to "... saved in the rest
# file"); "-" for a stage whose end did not show.
stage_seconds() {
  awk -v start="$1" '
    { time = $1; sub(/^[^ ]* /, "") }
    $0 == "Done" && !statistics { statistics = time }
    $0 == "Themes processing" { themes = time }
    $0 == "Rest file saving..." { rest = time }
    / blocks saved in the rest file$/ { saved = time }
    function span(from, to) { return (from && to) ? sprintf("%.2f", to - from) : "-" }
    END {
      print span(start, statistics), span(statistics, themes), span(themes, rest), span(rest, saved)
    }' "$2"
}

declare -A wc_time=()
declare -A wall_of=() # NAME:SIMILAR -> wall seconds of that run
rows=()
failures=0

# target_for NAME SIMILAR: the time limit of a run, or "-".
target_for() {
  case "$1:$2" in
  mixed-1G-k4999:N) echo 30 ;;
  mixed-1G-k4999:Y) echo 45 ;;
  bigtheme:*) echo 5 ;;
  manythemes:Y) echo 60 ;;
  nearcopies:Y0) echo 10 ;;
  mixed-100M-*:Y0) echo "2x" ;; # twice the run with the limit
  *) echo - ;;
  esac
}

# run_case NAME LABEL KEYWORDS SIMILAR: one karvel-batch run in DATA/NAME.
# SIMILAR is N, Y, or Y0: similarity on and sim_max=0, every theme searched.
run_case() {
  local name=$1 label=$2 keywords=$3 similar=$4
  local dir=$data_dir/$name
  local log=$data_dir/runs/$name-sim$similar
  [[ -n ${wc_time[$name]:-} ]] || wc_time[$name]=$(wc_seconds "$dir/#src")
  echo "running $name, similarity $similar" >&2
  rm -f "$dir/#dst" "$dir/#rst" "$dir/#dbl" "$dir/#log"
  local load start status=0
  load=$(cut -d ' ' -f 1 /proc/loadavg)
  start=${EPOCHREALTIME/,/.}
  (
    cd "$dir"
    /usr/bin/time -f '%e %M' -o "$log.time" timeout "$run_timeout" "$batch" \
      src='#src' dst='#dst' kwd='#kwd' rst='#rst' dbl='#dbl' log='#log' \
      similar="${similar%0}" sim_max="$([[ $similar == Y0 ]] && echo 0 || echo 500)" \
      rst_dst=N debug=Y <"/dev/null" 2>"$log.err" | stamp_lines >"$log.out"
  ) || status=$?
  cp -f "$dir/#log" "$log.log" 2>/dev/null || true
  local stages
  stages=$(stage_seconds "$start" "$log.out")

  local wall=0 rss_kb=0
  read -r wall rss_kb < <(tail -n 1 "$log.time" 2>/dev/null) || true
  local rss_mb ratio
  rss_mb=$(awk -v k="$rss_kb" 'BEGIN { printf "%.0f", k / 1024 }')
  ratio=$(awk -v t="$wall" -v w="${wc_time[$name]}" 'BEGIN { printf "%.0f", (w > 0 ? t / w : 0) }')

  # Every byte of the source ends in one output or was deleted as equal.
  local check
  if ((status == 124)); then
    check="timeout"
  elif ((status != 0)) || ! grep -q "blocks saved in the rest file" "$log.out"; then
    check="failed ($status)"
  else
    local source_bytes output_bytes deleted
    source_bytes=$(stat -c %s "$dir/#src")
    output_bytes=$(cat "$dir/#dst" "$dir/#rst" "$dir/#dbl" | wc -c)
    deleted=$(sed -n 's/^[0-9.]* Summary size of deleted equal blocks=\([0-9]*\).*/\1/p' "$log.out" |
      tail -n 1)
    if [[ -n $deleted ]] && ((output_bytes + deleted == source_bytes)); then
      check="ok"
    else
      check="bytes differ"
    fi
  fi
  rm -f "$dir/#dst" "$dir/#rst" "$dir/#dbl"

  wall_of[$name:$similar]=$wall
  local target verdict measured=$wall
  target=$(target_for "$name" "$similar")
  if [[ $target == 2x ]]; then
    target=$(awk -v w="${wall_of[$name:Y]:-0}" 'BEGIN { printf "%.2f", 2 * w }')
  fi
  # The big theme's limit is on its theme pass: the themes column.
  [[ $name != bigtheme ]] || measured=$(cut -d ' ' -f 3 <<<"$stages")
  if [[ $target == - ]]; then
    verdict="-"
  elif [[ $check == ok ]] && awk -v t="$measured" -v l="$target" 'BEGIN { exit !(t != "-" && t < l) }'; then
    verdict="< $target s: met"
  else
    verdict="< $target s: MISSED"
  fi
  [[ $check == ok ]] || failures=$((failures + 1))
  rows+=("| $label | $keywords | $similar | $wall | $rss_mb | ${ratio}x | ${stages// / | } | $load | $check | $verdict |")
}

# run_source NAME LABEL KEYWORDS GENERATOR-ARGUMENTS...
run_source() {
  local name=$1 label=$2 keywords=$3
  shift 3
  make_source "$name" "$@"
  run_case "$name" "$label" "$keywords" N
  run_case "$name" "$label" "$keywords" Y
}

# ---------------------------------------------------------------- runs ----

largest=""
for size in 10M 100M 1G; do
  has_set "$size" || continue
  case $size in
  10M) bytes=10M label="10 MB" ;;
  100M) bytes=100M label="100 MB" ;;
  1G) bytes=1Gi label="1 GiB" ;;
  esac
  for keywords in 10 500 4999; do
    run_source "mixed-$size-k$keywords" "$label" "$keywords" --size "$bytes" --keywords "$keywords"
  done
  largest=mixed-$size-k4999
done
if has_set sep; then
  run_source "separator-100M-k500" "100 MB, groups" 500 --mode separator --size 100M --keywords 500
fi
if has_set bigtheme; then
  run_source bigtheme "bigtheme, 1M blocks" 10 --mode bigtheme
fi
if has_set manythemes; then
  run_source manythemes "manythemes, 2000x400" 2000 --mode manythemes
fi
if has_set nearcopies; then
  make_source nearcopies --mode nearcopies --blocks 100000
  run_case nearcopies "nearcopies, 100k blocks" 10 Y0
fi
if has_set nolimit; then
  for keywords in 10 500 4999; do
    make_source "mixed-100M-k$keywords" --size 100M --keywords "$keywords"
    run_case "mixed-100M-k$keywords" "100 MB" "$keywords" Y
    run_case "mixed-100M-k$keywords" "100 MB" "$keywords" Y0
  done
fi

stats_line=""
if has_set stats; then
  if [[ -z $largest ]]; then
    largest=mixed-10M-k4999
    make_source "$largest" --size 10M --keywords 4999
  fi
  file=$data_dir/$largest/#src
  [[ -n ${wc_time[$largest]:-} ]] || wc_time[$largest]=$(wc_seconds "$file")
  echo "timing the statistics pass on $largest" >&2
  stats_seconds=$("$stats_bench" "$file" | tee "$data_dir/runs/stats-$largest.out" |
    sed -n 's/^seconds //p') || true
  if [[ -z $stats_seconds ]]; then
    echo "run_bench.sh: karvel-stats-bench failed" >&2
    stats_seconds=0
    failures=$((failures + 1))
  fi
  speed=$(awk -v s="$stats_seconds" -v w="${wc_time[$largest]}" \
    'BEGIN { printf "%.2f", (s > 0 ? w / s : 0) }')
  if awk -v x="$speed" 'BEGIN { exit !(x >= 0.5) }'; then verdict="met"; else verdict="MISSED"; fi
  stats_line="Statistics pass on $largest: $stats_seconds s; wc -l: ${wc_time[$largest]} s;"
  stats_line+=" speed relative to wc -l: $speed (target at least 0.5: $verdict)"
fi

# -------------------------------------------------------------- report ----

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
commit=$(git -C "$script_dir" rev-parse --short HEAD 2>/dev/null || echo unknown)
report=$data_dir/results/results-$(date +%Y%m%d-%H%M%S).md
{
  echo "Machine: $(nproc) cores, ${cpu:-unknown CPU}; commit $commit; seed $seed; $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  if ((${#rows[@]} > 0)); then
    echo "| source | keywords | similarity | wall s | peak RSS MB | time / wc -l |" \
      "statistics s | keywords, index s | themes, sorted s | rest s | load | check | target |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
  fi
  if [[ -n $stats_line ]]; then
    echo
    echo "$stats_line"
  fi
} | tee "$report"
echo "(saved in $report; run outputs in $data_dir/runs)" >&2
((failures == 0))
