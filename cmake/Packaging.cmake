# Installing Lentar as a desktop application (menu entry, file type, icons, AppStream
# metadata, manual page) and packing the installation into a Debian package:
#
#   cmake --install BUILD --prefix PREFIX
#   cpack -G DEB          (in BUILD; writes lentar_<version>_<arch>.deb)
#
# The files installed besides the programs live in data/; docs/packaging.md lists them.

include(GNUInstallDirs)

# One name for the desktop entry, the AppStream component and the icon, so that the
# desktop can tie them together; the window reports it as its desktop file name too.
set(LENTAR_APP_ID "example.vantorela.Lentar")
set(LENTAR_MIME_TYPE "application/x-lentar+xml")
# The date of this version, in the metadata, the manual page and the package changelog.
set(LENTAR_RELEASE_DATE "2026-12-09")
set(LENTAR_RELEASE_DATE_RFC2822 "Wed, 09 Dec 2026 00:00:00 +0000")

# Installs the programs a user runs. Test and benchmark executables are never passed
# here, so they stay out of the installation and the package.
function(lentar_install_programs)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

set(_lentar_data "${PROJECT_SOURCE_DIR}/data")
set(_lentar_out "${PROJECT_BINARY_DIR}/data")

configure_file(${_lentar_data}/lentar.desktop.in ${_lentar_out}/${LENTAR_APP_ID}.desktop @ONLY)
configure_file(${_lentar_data}/lentar.metainfo.xml.in ${_lentar_out}/${LENTAR_APP_ID}.metainfo.xml
               @ONLY)
configure_file(${_lentar_data}/lentar-mime.xml.in ${_lentar_out}/${LENTAR_APP_ID}.xml @ONLY)
configure_file(${_lentar_data}/lentar.1.in ${_lentar_out}/lentar.1 @ONLY)
configure_file(${_lentar_data}/lentar-check.1.in ${_lentar_out}/lentar-check.1 @ONLY)
configure_file(${_lentar_data}/changelog.in ${_lentar_out}/changelog @ONLY)

# Debian keeps manual pages and changelogs compressed, without a time stamp inside
# (gzip -n), so the package is the same from build to build.
find_program(LENTAR_GZIP gzip REQUIRED)
set(_lentar_gzipped)
foreach(_file lentar.1 lentar-check.1 changelog)
  add_custom_command(OUTPUT ${_lentar_out}/${_file}.gz
    COMMAND ${LENTAR_GZIP} -9 -n -f -k ${_lentar_out}/${_file}
    DEPENDS ${_lentar_out}/${_file}
    COMMENT "Compressing ${_file}" VERBATIM)
  list(APPEND _lentar_gzipped ${_lentar_out}/${_file}.gz)
endforeach()
add_custom_target(lentar_compressed_docs ALL DEPENDS ${_lentar_gzipped})

install(FILES ${_lentar_out}/${LENTAR_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_lentar_out}/${LENTAR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_lentar_out}/${LENTAR_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
foreach(_size 16 32 48 64 128 256)
  install(FILES ${_lentar_data}/icons/${_size}x${_size}/lentar.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME ${LENTAR_APP_ID}.png)
endforeach()
install(FILES ${_lentar_data}/icons/lentar.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${LENTAR_APP_ID}.svg)
install(FILES ${_lentar_out}/lentar.1.gz ${_lentar_out}/lentar-check.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_lentar_data}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lentar)
# A package whose version has no Debian revision keeps its changelog as changelog.gz.
install(FILES ${_lentar_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lentar)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lentar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vantorela festival organising committee")
set(CPACK_PACKAGE_CONTACT "Lentar developers <lentar@vantorela.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of work descriptions for the Vantorela festival")
# CPack puts the summary in front as the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lentar is the desktop editor in which the authors of a school research or
creative work describe it for the Vantorela festival: the title and the
description, the festival subjects, the authors and leaders, contacts, one
picture and a note to the organisers. It saves the description as a lentar
file (*.lnr.xml) with the stylesheet that shows it as a web page, and
previews that page in the web browser. The program speaks Russian.")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://vantorela.example/lentar/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps works out the libraries (Hunspell's and libxlsxwriter's among them);
# the window also needs Qt's platform plugins, which libqt6gui6 only recommends, the
# spell check the Russian dictionary, which no library pulls in, and lentar-check's
# PDF book a font with Cyrillic letters (fontconfig may settle for one without).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, hunspell-ru, fonts-dejavu-core")
# xdg-open shows the preview in the browser; Qt's own dialogs speak Russian with
# its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
