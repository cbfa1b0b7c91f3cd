#!/usr/bin/env bash
# Builds the editor and the whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (LENTAR_SANITIZE) and runs the suite in that build. Any
# report of either sanitizer, or a leak, fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."

LENTAR_WITH_TEST_TOOLS=1 bash scripts/install-deps.sh

build=${LENTAR_ASAN_BUILD_DIR:-build-asan}
jobs=${LENTAR_JOBS:-$(nproc)}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLENTAR_WERROR=ON -DLENTAR_SANITIZE=ON
cmake --build "$build" -j"$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:check_initialization_order=1:strict_init_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$jobs"
