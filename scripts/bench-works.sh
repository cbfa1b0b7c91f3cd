#!/usr/bin/env bash
# Times lentar-check's list of works (--works, workbook and CSV) and book of works
# (--book, HTML and PDF) on a folder of complete lentars with pictures, against the
# check alone on the same folder, and measures their peak memory, for
# docs/performance.md.
#
#   bash scripts/bench-works.sh [COUNT]      (default 5000 files)
#
# LENTAR_BUILD_DIR sets the build folder (default build-bench-check, shared with
# bench-check.sh), LENTAR_BENCH_RUNS how often each command runs (default 3). Every
# command first runs once unmeasured; then they take turns, and the median of each
# one's wall and processor times counts. The machine is shared: compare processor
# times when the load average is high. Only the table goes to stdout.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-5000}
runs=${LENTAR_BENCH_RUNS:-3}
build=${LENTAR_BUILD_DIR:-build-bench-check}
command -v /usr/bin/time >/dev/null || { echo "missing /usr/bin/time (Debian: time)" >&2; exit 1; }

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLENTAR_WERROR=ON -DLENTAR_BENCH=ON >&2
cmake --build "$build" -j"$(nproc)" --target lentar-check lentar_check_corpus >&2
check="$build/src/check/lentar-check"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/lentar_check_corpus" "$work/corpus" "$count"

# What each run adds to the check; the first is the check alone.
options=("" "--works list.xlsx" "--works list.csv" "--book book.html" "--book book.pdf"
         "--works list.xlsx --book book.html" "--works list.xlsx --book book.pdf")

# One run of the check with options $2: wall seconds, processor seconds and peak
# resident kilobytes, appended to file $1; fails when the exit status is not 0.
measure() {
  local into=$1 args=()
  read -ra words <<< "$2"
  for ((i = 0; i < ${#words[@]}; i += 2)); do args+=("${words[i]}" "$work/${words[i + 1]}"); done
  local status=0
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$check" "${args[@]}" "$work/corpus" \
    >/dev/null 2>"$work/stderr" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "unexpected exit status $status of: $check ${args[*]}" >&2
    cat "$work/stderr" >&2
    exit 1
  fi
  awk '{ printf "%s %.3f %s\n", $1, $2 + $3, $4 }' "$work/time" >> "$into"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for k in "${!options[@]}"; do
  measure /dev/null "${options[k]}"
  : > "$work/runs-$k"
done
for _ in $(seq "$runs"); do
  for k in "${!options[@]}"; do measure "$work/runs-$k" "${options[k]}"; done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

median() { sort -g -k"$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'; }
largest() { sort -g -k"$2,$2" "$1" | tail -1 | awk -v c="$2" '{ print $c }'; }

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu, $(nproc) cores; $count lentars of" \
  "$(($(du -sb "$work/corpus" | cut -f1) / 1000000)) MB; median of $runs runs each, taking" \
  "turns, after one run of each; memory the largest of the runs; load average" \
  "$load_before before, $load_after after."
echo
echo "| lentar-check | Wall time | Processor time | Peak memory | Wall / check alone | Processor / check alone |"
echo "|---|---:|---:|---:|---:|---:|"
base_s=$(median "$work/runs-0" 1)
base_cpu=$(median "$work/runs-0" 2)
for k in "${!options[@]}"; do
  awk -v o="${options[k]:-(the check alone)}" -v s="$(median "$work/runs-$k" 1)" \
    -v c="$(median "$work/runs-$k" 2)" -v kb="$(largest "$work/runs-$k" 3)" \
    -v bs="$base_s" -v bc="$base_cpu" \
    'BEGIN { printf "| `%s` | %.2f s | %.2f s | %d MB | %.2f | %.2f |\n", o, s, c, kb / 1024, s / bs, c / bc }'
done
echo
echo "Goal: at most 3 times the check alone, under 300 MB."
