#!/usr/bin/env bash
# Times two builds of karvel-batch side by side on the same warm sources and
# prints, for each source, the median of three runs of each, their ratio and
# each build's time as a multiple of `wc -l` on the same file.
#
#   bench/compare.sh [--base REV] [--sets LIST] [--data DIR] [-- WORD...]
#
# The base build is REV (default 2b1559f, the commit before the speed work),
# checked out in the worktree out/compare-base-tree and built in out/compare-base; the other
# is the working tree, built in out/compare-head. Both are Release builds
# without the dialog. WORDs after -- are given to the working tree's runs only
# (for example threads=1). Sets, from: 100M (100 MiB, 4,999 keywords), 10M
# (10 MiB, 500 keywords), real (the corpora of bench/real_corpora.sh), 1G
# (1 GiB, 4,999 keywords); default 100M,10M,real.
set -euo pipefail
cd "$(dirname "$0")/.."
base_rev=2b1559f
sets=100M,10M,real
data=${KARVEL_BENCH_DATA:-/work/bench-data}
while (($# > 0)); do
  case $1 in
  --base) base_rev=$2; shift ;;
  --sets) sets=$2; shift ;;
  --data) data=$2; shift ;;
  --) shift; break ;;
  *) echo "compare.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
extra_words=("$@")
top=$(pwd)

build() { # source-folder build-folder
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKARVEL_BUILD_APP=OFF \
    -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$2" -j "$(nproc)" --target karvel-batch karvel-generate >/dev/null
}
# The base tree stays at one path, so that its build folder is reused.
base_tree=$top/out/compare-base-tree
if [[ -d $base_tree ]]; then
  git -C "$base_tree" checkout --quiet --detach "$base_rev"
else
  git worktree add --detach "$base_tree" "$base_rev" >/dev/null 2>&1
fi
[[ -f $top/out/compare-base/CMakeCache.txt ]] &&
  ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$base_tree" "$top/out/compare-base/CMakeCache.txt" &&
  rm -rf "$top/out/compare-base"
build "$base_tree" "$top/out/compare-base"
build "$top" "$top/out/compare-head"
base_batch=$top/out/compare-base/batch/karvel-batch
head_batch=$top/out/compare-head/batch/karvel-batch
generate=$top/out/compare-head/bench/karvel-generate

sources=()
has_set() { [[ ,$sets, == *,$1,* ]]; }
gen() { # name generator-arguments...
  local dir=$data/compare/$1
  shift
  if [[ ! -f $dir/#src ]]; then
    mkdir -p "$dir"
    "$generate" --seed 1 --quiet --out "$dir" "$@"
  fi
  sources+=("$dir")
}
has_set 100M && gen keyword-100Mi-k4999 --size 100Mi --keywords 4999
has_set 10M && gen keyword-10Mi-k500 --size 10Mi --keywords 500
if has_set real; then
  [[ -f $data/real/changelogs/#src ]] || bench/real_corpora.sh "$data/real" >/dev/null
  for name in changelogs copyright ru-cp866 ru-utf8 el-utf8; do sources+=("$data/real/$name"); done
fi
has_set 1G && gen keyword-1Gi-k4999 --size 1Gi --keywords 4999

median3() { sort -n | sed -n 2p; }
time_run() { # folder batch words...
  local dir=$1 batch=$2
  shift 2
  local scratch
  scratch=$(mktemp -d)
  local t
  t=$( { /usr/bin/env TIMEFORMAT=%R bash -c 'time "$@" >/dev/null </dev/null' _ \
        "$batch" "src=$dir/#src" "kwd=$dir/#kwd" "dst=$scratch/d" "rst=$scratch/r" \
        "dbl=$scratch/b" "log=$scratch/l" rst_dst=N "$@"; } 2>&1 | tail -n 1)
  rm -rf "$scratch"
  echo "$t"
}
wc_time() {
  cat "$1" >/dev/null
  for _ in 1 2 3; do
    { TIMEFORMAT=%R; time wc -l "$1" >/dev/null; } 2>&1
  done | sort -n | head -n 1
}

printf '| source | MB | wc -l s | base s | now s | base / now | now / wc -l |\n'
printf '|---|---|---|---|---|---|---|\n'
for dir in "${sources[@]}"; do
  mb=$(($(stat -c %s "$dir/#src") / 1000000))
  w=$(wc_time "$dir/#src")
  b=$(for _ in 1 2 3; do time_run "$dir" "$base_batch"; done | median3)
  h=$(for _ in 1 2 3; do time_run "$dir" "$head_batch" "${extra_words[@]}"; done | median3)
  awk -v n="$(basename "$dir")" -v mb="$mb" -v w="$w" -v b="$b" -v h="$h" 'BEGIN {
    printf "| %s | %d | %.3f | %.3f | %.3f | %.2f | %.0f |\n", n, mb, w, b, h, b / h, h / w }'
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
