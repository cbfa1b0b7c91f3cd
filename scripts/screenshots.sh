#!/usr/bin/env bash
# Grabs every page of the main window, both dialogs and the preview page (in headless
# Chromium) into PNG files, without a desktop: docs/screenshots/ by default.
set -euo pipefail
cd "$(dirname "$0")/.."

LENTAR_WITH_TEST_TOOLS=1 bash scripts/install-deps.sh
build=${LENTAR_BUILD_DIR:-build}
out=$(realpath -m "${1:-docs/screenshots}")
mkdir -p "$out"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target windows_layout_test browser_test
export QT_QPA_PLATFORM=offscreen LENTAR_SCREENSHOT_DIR="$out"
"$build"/tests/windows/windows_layout_test
"$build"/tests/browser/browser_test
echo "Снимки окон: $out"
