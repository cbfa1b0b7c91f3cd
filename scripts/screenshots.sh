#!/usr/bin/env bash
# Grabs every page of the main window, both dialogs, the preview page (in headless
# Chromium) and lentar-check's book of works (the HTML in headless Chromium, a page of
# the PDF through pdftoppm) into PNG files, without a desktop: docs/screenshots/ by
# default.
set -euo pipefail
cd "$(dirname "$0")/.."

LENTAR_WITH_TEST_TOOLS=1 bash scripts/install-deps.sh
build=${LENTAR_BUILD_DIR:-build}
out=$(realpath -m "${1:-docs/screenshots}")
mkdir -p "$out"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target windows_layout_test browser_test lentar-check \
  lentar_check_corpus
export QT_QPA_PLATFORM=offscreen LENTAR_SCREENSHOT_DIR="$out"
"$build"/tests/windows/windows_layout_test
"$build"/tests/browser/browser_test

book=$(mktemp -d)
trap 'rm -rf "$book"' EXIT
"$build"/bench/lentar_check_corpus "$book/received" 6
"$build"/src/check/lentar-check --book "$book/book.html" "$book/received" >/dev/null
"$build"/src/check/lentar-check --book "$book/book.pdf" "$book/received" >/dev/null
chromium --headless=new --no-sandbox --disable-gpu --hide-scrollbars --window-size=1000,1600 \
  --screenshot="$out/book-html.png" "file://$book/book.html" 2>/dev/null
pdftoppm -r 80 -png -singlefile -f 3 -l 3 "$book/book.pdf" "$out/book-pdf-page-3"
echo "Снимки окон: $out"
