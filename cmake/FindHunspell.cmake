# Finds Hunspell (Debian: libhunspell-dev) and defines the target Hunspell::Hunspell.
# pkg-config gives the library's versioned name (libhunspell-1.7); without it the
# usual names are searched.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_HUNSPELL QUIET hunspell)
endif()

find_path(Hunspell_INCLUDE_DIR hunspell.hxx
  HINTS ${PC_HUNSPELL_INCLUDE_DIRS} PATH_SUFFIXES hunspell)
find_library(Hunspell_LIBRARY
  NAMES ${PC_HUNSPELL_LIBRARIES} hunspell-1.7 hunspell
  HINTS ${PC_HUNSPELL_LIBRARY_DIRS})

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Hunspell REQUIRED_VARS Hunspell_LIBRARY Hunspell_INCLUDE_DIR
  VERSION_VAR PC_HUNSPELL_VERSION)

if(Hunspell_FOUND AND NOT TARGET Hunspell::Hunspell)
  add_library(Hunspell::Hunspell UNKNOWN IMPORTED)
  set_target_properties(Hunspell::Hunspell PROPERTIES
    IMPORTED_LOCATION "${Hunspell_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Hunspell_INCLUDE_DIR}")
endif()
mark_as_advanced(Hunspell_INCLUDE_DIR Hunspell_LIBRARY)
