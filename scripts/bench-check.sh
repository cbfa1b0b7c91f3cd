#!/usr/bin/env bash
# Times lentar-check on a folder of complete lentars with pictures against
# `xmllint --noout` parsing the same files in one process, and measures the checker's
# peak memory, for docs/performance.md.
#
#   bash scripts/bench-check.sh [COUNT]      (default 5000 files)
#
# LENTAR_BUILD_DIR sets the build folder (default build-bench-check), LENTAR_BENCH_RUNS
# how often each command runs (default 5; the fastest run counts, the memory is the
# largest of all runs). Only the table goes to stdout.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-5000}
runs=${LENTAR_BENCH_RUNS:-5}
build=${LENTAR_BUILD_DIR:-build-bench-check}
for tool in xmllint /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian: libxml2-utils, time)" >&2; exit 1; }
done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLENTAR_WERROR=ON -DLENTAR_BENCH=ON >&2
cmake --build "$build" -j"$(nproc)" --target lentar-check lentar_check_corpus >&2
check="$build/src/check/lentar-check"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/lentar_check_corpus" "$work/corpus" "$count"
"$build/bench/lentar_check_corpus" "$work/large" 8 large
find "$work/corpus" -name '*.lnr.xml' | sort > "$work/list"

# Seconds, peak resident kilobytes and processor seconds (user, system) of one run of the command; fails when the
# command's exit status is not the expected one.
measure() {
  local expected=$1
  shift
  local status=0
  /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "unexpected exit status $status of: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  fi
  cat "$work/time"
}

# The fastest time and the largest memory of several runs; the first run only fills
# the page cache.
best() {
  local expected=$1
  shift
  measure "$expected" "$@" >/dev/null
  local fastest= memory=0 cpu=
  for _ in $(seq "$runs"); do
    read -r seconds kilobytes user system < <(measure "$expected" "$@")
    if [ -z "$fastest" ] || awk "BEGIN { exit !($seconds < $fastest) }"; then
      fastest=$seconds
      cpu=$(awk "BEGIN { print $user + $system }")
    fi
    if [ "$kilobytes" -gt "$memory" ]; then memory=$kilobytes; fi
  done
  echo "$fastest $memory $cpu"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
read -r xml_s xml_kb xml_cpu < <(best 0 xargs -a "$work/list" -d '\n' -n 100000 xmllint --noout)
read -r check_s check_kb check_cpu < <(best 0 "$check" "$work/corpus")
read -r large_s large_kb large_cpu < <(best 0 "$check" "$work/large")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
files=$(wc -l < "$work/list")
bytes=$(du -sb "$work/corpus" | cut -f1)
large_bytes=$(du -sb "$work/large" | cut -f1)

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu, $(nproc) cores; $(xmllint --version 2>&1 | head -1);" \
  "fastest of $runs runs after one to fill the page cache, memory the largest of them;" \
  "load average $load_before before, $load_after after."
echo
echo "| Run | Files | Size | Time | Processor time | Peak memory |"
echo "|---|---:|---:|---:|---:|---:|"
printf '| xmllint --noout (one process) | %d | %d MB | %.2f s | %.2f s | %d MB |\n' \
  "$files" $((bytes / 1000000)) "$xml_s" "$xml_cpu" $((xml_kb / 1024))
printf '| lentar-check | %d | %d MB | %.2f s | %.2f s | %d MB |\n' \
  "$files" $((bytes / 1000000)) "$check_s" "$check_cpu" $((check_kb / 1024))
printf '| lentar-check, files of about 15 MiB | 8 | %d MB | %.2f s | %.2f s | %d MB |\n' \
  $((large_bytes / 1000000)) "$large_s" "$large_cpu" $((large_kb / 1024))
echo
awk -v c="$check_s" -v x="$xml_s" 'BEGIN { printf "Ratio lentar-check / xmllint: %.2f (goal: 1.00 or less)\n", c / x }'
