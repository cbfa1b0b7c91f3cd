#!/usr/bin/env bash
# Times lentar-check on a folder of complete lentars with pictures against
# `xmllint --noout` parsing the same files in one process, and measures the checker's
# peak memory on files of the largest size, for docs/performance.md.
#
#   bash scripts/bench-check.sh [COUNT]      (default 5000 files)
#
# LENTAR_BUILD_DIR sets the build folder (default build-bench-check), LENTAR_BENCH_RUNS
# how often each command runs (default 7). Both commands first run once unmeasured, so
# both read from a warm page cache; then they take turns (xmllint, lentar-check,
# xmllint, ...), and the median of each one's wall and processor times counts. Only
# the table goes to stdout.
#
# A run whose wall time is far above what its processor time allows (one thread for
# xmllint, one per core for lentar-check) spent that time waiting for a busy machine;
# then the ratio of wall times says nothing about the programs and is not printed.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-5000}
runs=${LENTAR_BENCH_RUNS:-7}
build=${LENTAR_BUILD_DIR:-build-bench-check}
# Wall time may exceed processor time / threads by this factor before a run counts as
# having waited.
slack=1.25
for tool in xmllint /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian: libxml2-utils, time)" >&2; exit 1; }
done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLENTAR_WERROR=ON -DLENTAR_BENCH=ON >&2
cmake --build "$build" -j"$(nproc)" --target lentar-check lentar_check_corpus >&2
check="$build/src/check/lentar-check"
cores=$(nproc)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/lentar_check_corpus" "$work/corpus" "$count"
"$build/bench/lentar_check_corpus" "$work/large" 8 large
find "$work/corpus" -name '*.lnr.xml' | sort > "$work/list"

# One run: wall seconds, processor seconds (user + system) and peak resident
# kilobytes, appended to the file named first; fails when the exit status is not 0.
measure() {
  local into=$1
  shift
  local status=0
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "unexpected exit status $status of: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  fi
  awk '{ printf "%s %.3f %s\n", $1, $2 + $3, $4 }' "$work/time" >> "$into"
}

xml=(xargs -a "$work/list" -d '\n' -n 100000 xmllint --noout)
large_check=("$check" "$work/large")
folder_check=("$check" "$work/corpus")

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
"${xml[@]}" >/dev/null
"${folder_check[@]}" >/dev/null
: > "$work/xml"
: > "$work/check"
: > "$work/large_runs"
for _ in $(seq "$runs"); do
  measure "$work/xml" "${xml[@]}"
  measure "$work/check" "${folder_check[@]}"
done
for _ in 1 2 3; do measure "$work/large_runs" "${large_check[@]}"; done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# The median of column $2 of file $1; the largest for column 3 (memory).
median() { sort -g -k"$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'; }
largest() { sort -g -k"$2,$2" "$1" | tail -1 | awk -v c="$2" '{ print $c }'; }

xml_s=$(median "$work/xml" 1); xml_cpu=$(median "$work/xml" 2); xml_kb=$(largest "$work/xml" 3)
check_s=$(median "$work/check" 1); check_cpu=$(median "$work/check" 2); check_kb=$(largest "$work/check" 3)
large_s=$(median "$work/large_runs" 1); large_cpu=$(median "$work/large_runs" 2)
large_kb=$(largest "$work/large_runs" 3)
files=$(wc -l < "$work/list")
bytes=$(du -sb "$work/corpus" | cut -f1)
large_bytes=$(du -sb "$work/large" | cut -f1)

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu, $cores cores; $(xmllint --version 2>&1 | head -1);" \
  "median of $runs runs each, taking turns, after one run of each to warm the page cache;" \
  "memory the largest of the runs; load average $load_before before, $load_after after."
echo
echo "| Run | Files | Size | Wall time | Processor time | Peak memory |"
echo "|---|---:|---:|---:|---:|---:|"
printf '| xmllint --noout (one process) | %d | %d MB | %.2f s | %.2f s | %d MB |\n' \
  "$files" $((bytes / 1000000)) "$xml_s" "$xml_cpu" $((xml_kb / 1024))
printf '| lentar-check | %d | %d MB | %.2f s | %.2f s | %d MB |\n' \
  "$files" $((bytes / 1000000)) "$check_s" "$check_cpu" $((check_kb / 1024))
printf '| lentar-check, files of about 15 MiB (3 runs) | 8 | %d MB | %.2f s | %.2f s | %d MB |\n' \
  $((large_bytes / 1000000)) "$large_s" "$large_cpu" $((large_kb / 1024))
echo

awk -v c="$check_cpu" -v x="$xml_cpu" \
  'BEGIN { printf "Processor time lentar-check / xmllint: %.2f\n", c / x }'
# Whether a run waited: wall above processor time / threads, with some slack.
waited() { awk -v w="$1" -v c="$2" -v t="$3" -v s="$slack" 'BEGIN { exit !(w > s * c / t) }'; }
busy=()
if waited "$xml_s" "$xml_cpu" 1; then busy+=(xmllint); fi
if waited "$check_s" "$check_cpu" "$cores"; then busy+=(lentar-check); fi
if [ "${#busy[@]}" -gt 0 ]; then
  echo "Wall time lentar-check / xmllint: not given: the wall time of ${busy[*]} is more than" \
    "$slack times its processor time per thread, so the machine was busy; run again when it is quiet."
else
  awk -v c="$check_s" -v x="$xml_s" \
    'BEGIN { printf "Wall time lentar-check / xmllint: %.2f (goal: 1.00 or less)\n", c / x }'
fi
awk -v kb="$large_kb" 'BEGIN { printf "Peak memory for one file of about 15 MiB: %d MB (goal: under 100 MB)\n", kb / 1024 }'
