#!/usr/bin/env bash
# Installs what is missing, builds the editor and packs it into a Debian package,
# lentar_<version>_<architecture>.deb in build-package/, and prints its path. Tests
# and benchmarks are left out of this build; scripts/test.sh checks the package.
set -euo pipefail
cd "$(dirname "$0")/.."

LENTAR_WITH_PACKAGE_TOOLS=1 bash scripts/install-deps.sh

build=${LENTAR_PACKAGE_BUILD_DIR:-build-package}
# Debian's own build flags: optimisation and hardening (fortified functions, stack
# protector, read-only relocations bound at start). They count on the first configure.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DLENTAR_BENCH=OFF
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/lentar_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/lentar_*.deb)
echo "Пакет: $deb"
echo "Установка: sudo apt-get install ./$deb"
