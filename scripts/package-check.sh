#!/usr/bin/env bash
# Checks what a build installs and the Debian package made from it:
#
#   bash scripts/package-check.sh [build folder]      (default: build)
#
# The build must be complete (scripts/test.sh builds and tests it first). The check
# installs into a temporary prefix and validates the menu entry, the AppStream
# metadata and the file type there, asks the desktop's own tools what a saved lentar
# is and which program opens it, then packs the .deb, runs lintian on it and lets apt
# try (without installing) whether it would install. Every lintian warning must be
# explained in docs/packaging.md. Exits with 1 when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(realpath "${1:-${LENTAR_BUILD_DIR:-build}}")
[ -f "$build/CMakeCache.txt" ] || {
  echo "Нет сборки в $build" >&2
  exit 1
}

setting() { sed -n "s/^set($1 \"\(.*\)\")$/\1/p" cmake/Packaging.cmake; }
id=$(setting LENTAR_APP_ID)
mime=$(setting LENTAR_MIME_TYPE)
version=$(sed -n 's/^project(Lentar VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$id" ] && [ -n "$mime" ] && [ -n "$version" ]

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "ОШИБКА: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ок: $*"; }

# A session that sees the temporary prefix as its only installation besides the
# system's, with empty settings of its own.
prefix=$work/prefix
mkdir -p "$work/home/data" "$work/home/config"
export XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export XDG_CONFIG_DIRS=$work/home/config XDG_DATA_DIRS=$prefix/share:/usr/local/share:/usr/share

# --- The installation -------------------------------------------------------------
cmake --install "$build" --prefix "$prefix" --strip >"$work/install.log" ||
  { cat "$work/install.log" >&2; exit 1; }
for f in bin/lentar "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" \
  "share/mime/packages/$id.xml" "share/icons/hicolor/scalable/apps/$id.svg" \
  share/man/man1/lentar.1.gz share/man/man1/lentar-check.1.gz share/doc/lentar/copyright share/doc/lentar/changelog.gz; do
  [ -f "$prefix/$f" ] || fail "не установлен $f"
done
for size in 16 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  if ! file -b "$icon" 2>/dev/null | grep -q "^PNG image data, $size x $size,"; then
    fail "значок ${size}x${size}: $(file -b "$icon" 2>&1)"
  fi
done
# Only the programs a user runs; never a test, benchmark or fuzzer.
for program in "$prefix"/bin/*; do
  case $(basename "$program") in
    lentar | lentar-check) ;;
    *) fail "установлена лишняя программа bin/$(basename "$program")" ;;
  esac
done
[ "$failures" -eq 0 ] && pass "установка в $prefix"

# The installed program answers without a display, with the version of the metadata.
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$prefix/share/metainfo/$id.metainfo.xml" | head -1)
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/lentar" --version 2>&1) || true
if [ "$answer" = "Лентар $version" ] && [ "$release" = "$version" ]; then
  pass "lentar --version: $answer"
else
  fail "lentar --version ответил «$answer», версия проекта $version, в метаданных $release"
fi

# --- Menu entry and metadata ------------------------------------------------------
desktop=$prefix/share/applications/$id.desktop
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
  pass "desktop-file-validate"
else
  fail "desktop-file-validate: $out"
fi
if out=$(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" 2>&1); then
  pass "appstreamcli validate --no-net"
else
  fail "appstreamcli validate --no-net:"$'\n'"$out"
fi
metainfo=$prefix/share/metainfo/$id.metainfo.xml
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "метаданные не называют $id.desktop"
grep -qx "Icon=$id" "$desktop" || fail "в $id.desktop значок не $id"
grep -qx "MimeType=$mime;" "$desktop" || fail "в $id.desktop нет типа $mime"
# The screenshots named in the metadata are the ones the test suite takes.
shots=$build/screenshots
if [ -d "$shots" ]; then
  for name in $(sed -n 's|.*<image>.*/\([^/<]*\)</image>.*|\1|p' "$metainfo"); do
    [ -s "$shots/$name" ] || fail "снимка $name нет в $shots (его делают windows_layout_test и browser_test)"
  done
  pass "снимки экрана из метаданных есть в $shots"
else
  echo "пропущено: в $shots нет снимков; они появляются после ctest"
fi

# --- The file type ----------------------------------------------------------------
if out=$(xmllint --noout "$prefix/share/mime/packages/$id.xml" 2>&1) &&
  out=$(update-mime-database "$prefix/share/mime" 2>&1) && [ -z "$out" ]; then
  pass "update-mime-database"
else
  fail "описание типа файлов: $out"
fi
grep -qx " vantorela $mime" "$prefix/share/mime/XMLnamespaces" ||
  fail "корневой элемент vantorela не связан с $mime"
grep -qx "$mime application/xml" "$prefix/share/mime/subclasses" ||
  fail "$mime не подкласс application/xml"

# A saved lentar: the bytes the writer's own test expects for a one-author work.
lentar=$work/Работа.lnr.xml
printf '\xEF\xBB\xBF<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n' >"$lentar"
printf '<?xml-stylesheet type="text/xsl" href="preview.lnr.xsl" ?>\r\n' >>"$lentar"
printf '%s' '<vantorela><work title="Работа" sz_id="8" stored="-5" version="2.1">' \
  '<description>Описание</description><specification></specification><manual></manual>' \
  '<subjects><subject sb_id="7"></subject></subjects><authors><person p_id_full="100-000-001" ' \
  'p_type="student" surname="А" name="Б" patronymic="В"></person><person p_id_full="200-000-002" ' \
  'p_type="teacher" surname="Г" name="Д" patronymic="Е" status="leader"></person></authors>' \
  '<public_relations><postal_code></postal_code><address></address><phone></phone><email></email>' \
  '</public_relations><comment></comment></work></vantorela>' >>"$lentar"
printf '\r\n\r\n' >>"$lentar"
plain=$work/other.xml
printf '<?xml version="1.0"?>\n<other/>\n' >"$plain"
# xdg-mime asks the perl mimetype tool on a plain session and GIO on GNOME.
for desktop_name in "" GNOME; do
  for case in "$lentar=$mime" "$plain=application/xml"; do
    file=${case%%=*} expected=${case#*=}
    got=$(XDG_CURRENT_DESKTOP=$desktop_name xdg-mime query filetype "$file" 2>&1 || true)
    if [ "$got" = "$expected" ]; then
      pass "xdg-mime query filetype $(basename "$file") (${desktop_name:-generic}): $got"
    else
      fail "xdg-mime query filetype $(basename "$file") (${desktop_name:-generic}): $got, ожидался $expected"
    fi
  done
done

# The file manager opens a lentar with the editor.
update-desktop-database "$prefix/share/applications"
got=$(XDG_CURRENT_DESKTOP= xdg-mime query default "$mime" 2>&1 || true)
[ "$got" = "$id.desktop" ] && pass "xdg-mime query default: $got" || fail "xdg-mime query default: $got"
got=$(PATH=$prefix/bin:$PATH gio mime "$mime" 2>&1 | sed -n 's/^Default application for “.*”: //p')
[ "$got" = "$id.desktop" ] && pass "gio mime: $got" || fail "gio mime $mime: $got"

# --- The Debian package -----------------------------------------------------------
rm -f "$build"/lentar_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/lentar_*.deb)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "lentar_${version}_${arch}.deb" ] || fail "имя пакета $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libjpeg62-turbo libxslt1.1 libhunspell qt6-qpa-plugins hunspell-ru; do
  [[ $depends == *"$library"* ]] || fail "в зависимостях пакета нет $library: $depends"
done
extra=$(dpkg-deb -c "$deb" | awk '{print $NF}' | grep -E '^\./usr/bin/.' |
  grep -v -E '^\./usr/bin/(lentar|lentar-check)$' || true)
[ -z "$extra" ] || fail "лишние программы в пакете: $extra"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || fail "lintian:"$'\n'"$(cat "$work/lintian")"
# Every warning must be explained in docs/packaging.md, by its tag in backticks.
for tag in $(sed -n 's/^W: [^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian" | sort -u); do
  grep -q "\`$tag\`" docs/packaging.md || fail "lintian-предупреждение $tag не объяснено в docs/packaging.md"
done
pass "lintian: $(grep -c '^E:' "$work/lintian" || true) ошибок, $(grep -c '^W:' "$work/lintian" || true) предупреждений"
sed 's/^/  /' "$work/lintian"

# apt resolves the package's dependencies from the system's sources without installing.
if out=$(apt-get install -s -q "$deb" 2>&1); then
  pass "apt-get install -s $(basename "$deb")"
else
  fail "apt-get install -s:"$'\n'"$out"
fi

echo "Пакет: $deb"
if [ "$failures" -ne 0 ]; then
  echo "Проверок не пройдено: $failures" >&2
  exit 1
fi
