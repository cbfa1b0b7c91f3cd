#!/usr/bin/env bash
# Installs what is missing, builds the editor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target lentar

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Нет графического дисплея: редактор собран, но окно показать негде." >&2
  echo "Запустите его на рабочем столе (build/src/windows/lentar) или на виртуальном экране:" >&2
  echo "  xvfb-run -a build/src/windows/lentar" >&2
  exit 1
fi
exec build/src/windows/lentar
