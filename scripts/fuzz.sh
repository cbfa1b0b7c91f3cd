#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#
#   bash scripts/fuzz.sh [seconds per target] [target ...]
#   bash scripts/fuzz.sh coverage
#
# Targets: base64 participant_id lentar_writer lentar_reader picture (all by default);
# 15 seconds each by default. The corpus grows in $build/fuzz-corpus/<target> from run
# to run; the seeds are made afresh by make_fuzz_seeds, and the inputs kept in
# tests/reliability/fuzz_regressions/<target> are read too. A finding is written to
# $build/fuzz-findings and fails the script. "coverage" replays every corpus in a
# build with source coverage and reports the lines and branches of the code each
# fuzzer is aimed at that the corpus reaches.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(base64 participant_id lentar_writer lentar_reader picture)
declare -A aimed_at=(
  [base64]="src/codec/base64.cpp"
  [participant_id]="src/codec/participant_id.cpp src/codec/text.cpp"
  [lentar_writer]="src/document/lentar_xml.cpp src/document/lentar_document.cpp src/codec/cp1251.cpp"
  [lentar_reader]="src/document/lentar_reader.cpp src/codec/base64.cpp src/codec/participant_id.cpp"
  [picture]="src/picture/picture_import.cpp src/picture/jpeg_decode.cpp src/picture/jpeg_encode.cpp src/picture/jpeg_error.cpp src/picture/jpeg_quick_check.cpp src/picture/jpeg_inspect.cpp src/picture/jpeg_as_stored.cpp"
)

if [ "${1:-}" = coverage ]; then
  if ! command -v llvm-cov >/dev/null || ! command -v llvm-profdata >/dev/null; then
    echo "Для отчёта о покрытии нужны llvm-cov и llvm-profdata (пакет llvm)." >&2
    exit 1
  fi
  build=${LENTAR_FUZZ_BUILD_DIR:-build-fuzz}
  cov="$build/coverage"
  flags="-fprofile-instr-generate -fcoverage-mapping"
  if [ ! -f "$cov/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$cov" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLENTAR_FUZZ=ON \
      -DBUILD_TESTING=OFF -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  fi
  cmake --build "$cov" -j"${LENTAR_JOBS:-2}" \
    --target base64_fuzzer participant_id_fuzzer lentar_writer_fuzzer lentar_reader_fuzzer \
    picture_fuzzer >/dev/null
  mkdir -p "$cov/profiles" "$cov/tmp"
  for t in "${all_targets[@]}"; do
    inputs=()
    for d in "$build/fuzz-corpus/$t" "$build/fuzz-seeds/$t" "tests/reliability/fuzz_regressions/$t"; do
      [ -d "$d" ] && inputs+=("$d")
    done
    TMPDIR="$PWD/$cov/tmp" LLVM_PROFILE_FILE="$cov/profiles/$t.profraw" \
      "$cov/fuzz/${t}_fuzzer" -runs=0 "${inputs[@]}" >/dev/null 2>&1
    llvm-profdata merge -sparse "$cov/profiles/$t.profraw" -o "$cov/profiles/$t.profdata"
    echo "== $t"
    # shellcheck disable=SC2086
    llvm-cov report "$cov/fuzz/${t}_fuzzer" -instr-profile="$cov/profiles/$t.profdata" \
      ${aimed_at[$t]} | sed -n '1p;3,$p'
  done
  exit 0
fi

seconds=${1:-15}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

build=${LENTAR_FUZZ_BUILD_DIR:-build-fuzz}
jobs=${LENTAR_JOBS:-2}

LENTAR_WITH_TEST_TOOLS=1 bash scripts/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLENTAR_WERROR=ON -DLENTAR_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
fi
fuzzers=()
for t in "${targets[@]}"; do fuzzers+=("${t}_fuzzer"); done
cmake --build "$build" -j"$jobs" --target "${fuzzers[@]}" make_fuzz_seeds >/dev/null

root=$(cd "$build" && pwd)
rm -rf "$root/fuzz-seeds"
"$root/fuzz/make_fuzz_seeds" "$root/fuzz-seeds"
logs=${LENTAR_FUZZ_LOGS:-$root/fuzz-logs}
mkdir -p "$root/fuzz-findings" "$logs" "$root/fuzz-tmp"

# Symbolised reports, and a report rather than a silent exit for undefined behaviour.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The picture import writes its working copy into a folder of its own per process.
export TMPDIR="$root/fuzz-tmp"

status=0
for t in "${targets[@]}"; do
  corpus="$root/fuzz-corpus/$t"
  mkdir -p "$corpus"
  inputs=("$corpus" "$root/fuzz-seeds/$t")
  [ -d "tests/reliability/fuzz_regressions/$t" ] && inputs+=("tests/reliability/fuzz_regressions/$t")
  log="$logs/$t.log"
  extra=()
  [ -f "fuzz/$t.dict" ] && extra+=(-dict="fuzz/$t.dict")
  # -timeout: one input taking this long counts as a hang. -rss_limit_mb: the import may
  # legitimately hold a few hundred megabytes for a huge progressive picture.
  if nice -n 10 "$root/fuzz/${t}_fuzzer" -max_total_time="$seconds" -timeout=25 \
      -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$root/fuzz-findings/$t-" \
      "${extra[@]}" "${inputs[@]}" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' || true)
    echo "$t: ${seconds} s, ${runs:-?} executions, ${cov:-no coverage line}"
  else
    status=1
    echo "$t: FINDING (see $log and $root/fuzz-findings)" >&2
    grep -E 'ERROR|Fuzz[A-Za-z]+:|SUMMARY' "$log" | head -5 >&2 || true
  fi
done
exit $status
