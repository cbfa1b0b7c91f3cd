#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package the editor and its tests need that
# is not there yet. Safe to run again: installed packages are left alone.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libjpeg-dev libxslt1-dev libxml2-dev
  libhunspell-dev hunspell-ru libxlsxwriter-dev
  xvfb xauth fonts-dejavu-core
)
# Building the Debian package (scripts/package.sh): dpkg-shlibdeps works out its
# dependencies and needs file.
package_tools=(dpkg-dev file)
if [ "${LENTAR_WITH_PACKAGE_TOOLS:-0}" = 1 ]; then
  packages+=("${package_tools[@]}")
fi
if [ "${LENTAR_WITH_TEST_TOOLS:-0}" = 1 ]; then
  packages+=(chromium clang libclang-rt-14-dev imagemagick)
  # lentar-check's list and book read back: the workbook out of its zip, the PDF's text.
  packages+=(unzip poppler-utils)
  packages+=(libbenchmark-dev python3)
  # The package and installation checks (scripts/package-check.sh).
  packages+=("${package_tools[@]}" lintian desktop-file-utils appstream shared-mime-info
             xdg-utils libfile-mimeinfo-perl libglib2.0-bin libxml2-utils man-db)
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
