#!/usr/bin/env bash
# Installs what is missing, builds the editor and its tests with warnings as errors,
# and runs the whole suite; then builds the picture import and its tests once more on
# libjpeg's public API alone and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."

LENTAR_WITH_TEST_TOOLS=1 bash scripts/install-deps.sh

build=${LENTAR_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLENTAR_WERROR=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
# The installation and the Debian package of the same build.
bash scripts/package-check.sh "$build"

# The picture import as it is built where libjpeg's internal header is missing: the
# public API alone, to the same pixels (the decode tests compare with a full decode).
jpegpub=${LENTAR_JPEGPUB_BUILD_DIR:-build-jpegpub}
cmake -S . -B "$jpegpub" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLENTAR_WERROR=ON \
  -DLENTAR_JPEG_PUBLIC_API_ONLY=ON -DLENTAR_BENCH=OFF
cmake --build "$jpegpub" -j"$(nproc)" --target picture_tests
ctest --test-dir "$jpegpub" --output-on-failure -j"$(nproc)" -R '^picture_'
