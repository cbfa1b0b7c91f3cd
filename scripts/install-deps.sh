#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package the editor and its tests need that
# is not there yet. Safe to run again: installed packages are left alone.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg-dev libxslt1-dev libxml2-dev
  xvfb xauth fonts-dejavu-core
)
if [ "${LENTAR_WITH_TEST_TOOLS:-0}" = 1 ]; then
  packages+=(chromium clang libclang-rt-14-dev imagemagick)
  packages+=(libbenchmark-dev python3)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Устанавливаются пакеты: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
