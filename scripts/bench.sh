#!/usr/bin/env bash
# Builds the benchmarks in Release and prints the table of docs/performance.md: every
# figure next to a reference measured in the same run, the ratio and the goal.
# Arguments go to lentar_bench (Google Benchmark), e.g. --benchmark_filter=startup.
# LENTAR_BENCH_REPETITIONS sets how often each benchmark is repeated (default 7).
# Then the QtTest benchmarks (bench/codec_benchmark, bench/picture_benchmark) run, for
# a quick look at the codecs and the decoder; LENTAR_BENCH_QTEST=0 leaves them out.
# Only the machine line and the table go to stdout; the rest goes to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."

LENTAR_WITH_TEST_TOOLS=1 bash scripts/install-deps.sh >&2

build=${LENTAR_BUILD_DIR:-build-bench}
repetitions=${LENTAR_BENCH_REPETITIONS:-7}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLENTAR_WERROR=ON -DLENTAR_BENCH=ON >&2
qtest_benchmarks=()
[ "${LENTAR_BENCH_QTEST:-1}" = 1 ] && qtest_benchmarks=(codec_benchmark picture_benchmark spell_benchmark)
cmake --build "$build" -j"$(nproc)" --target lentar_bench "${qtest_benchmarks[@]}" >&2

results="$build/bench/results.json"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Repetitions run in random order, so that a reference and its figure share the
# machine's slow and quiet moments alike.
"$build/bench/lentar_bench" \
  --benchmark_repetitions="$repetitions" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=json \
  "$@" >&2
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
for b in "${qtest_benchmarks[@]}"; do
  "$build/bench/$b" >&2
done

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
memory=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
package() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo "?"; }
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $cpu, $(nproc) cores, $memory," \
  "$(uname -sr); Qt $(package libqt6core6), libjpeg-turbo $(package libjpeg62-turbo)," \
  "libxslt $(package libxslt1.1), $(c++ --version | head -1)." \
  "Times are the fastest, memory the median, of $repetitions repetitions in random order; load average $load_before before," \
  "$load_after after."
echo
python3 bench/bench_table.py "$results"
