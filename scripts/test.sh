#!/usr/bin/env bash
# Installs what is missing, builds the editor and its tests with warnings as errors,
# and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."

LENTAR_WITH_TEST_TOOLS=1 bash scripts/install-deps.sh

build=${LENTAR_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLENTAR_WERROR=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
# The installation and the Debian package of the same build.
bash scripts/package-check.sh "$build"
