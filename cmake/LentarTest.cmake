# The data files the tests and fuzz checks read (tests/data); compiled into whatever
# reads them, so that a test run by hand finds them as well as one run by ctest.
set(LENTAR_TEST_DATA ${PROJECT_SOURCE_DIR}/tests/data)

# One place that registers a test: every test runs offscreen, with a private
# temporary folder, so tests never see each other's preview files, and a private data
# folder ($XDG_DATA_HOME), so the personal word list of the spell check is never the user's.
function(lentar_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test lentar_test_support ${ARG_LIBS})
  set(tmp "${CMAKE_BINARY_DIR}/test-tmp/${name}")
  file(MAKE_DIRECTORY "${tmp}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TMPDIR=${tmp};XDG_DATA_HOME=${tmp}/data;LC_ALL=C.UTF-8"
    TIMEOUT 300)
endfunction()
