# The fuzzers' checks and seed corpora as libraries. The fuzz build links them into the
# fuzzers; the ordinary build links them into the regression test, which runs the same
# checks over the seeds and over every input a fuzzer has caught.
set(LENTAR_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

if(NOT TARGET lentar_picture_fixtures)
  add_library(lentar_picture_fixtures STATIC
    ${PROJECT_SOURCE_DIR}/tests/picture/jpeg_fixtures.cpp
    ${PROJECT_SOURCE_DIR}/tests/picture/jpeg_fixtures.h)
  target_include_directories(lentar_picture_fixtures PUBLIC ${PROJECT_SOURCE_DIR}/tests/picture)
  target_link_libraries(lentar_picture_fixtures PUBLIC Qt6::Core JPEG::JPEG)
endif()

if(NOT TARGET lentar_fuzz_checks)
  add_library(lentar_fuzz_checks STATIC
    ${LENTAR_FUZZ_DIR}/fuzz_checks.h
    ${LENTAR_FUZZ_DIR}/base64_check.cpp
    ${LENTAR_FUZZ_DIR}/participant_id_check.cpp
    ${LENTAR_FUZZ_DIR}/lentar_writer_check.cpp
    ${LENTAR_FUZZ_DIR}/lentar_reader_check.cpp
    ${LENTAR_FUZZ_DIR}/picture_check.cpp
    ${LENTAR_FUZZ_DIR}/writer_input.cpp
    ${LENTAR_FUZZ_DIR}/writer_input.h)
  target_include_directories(lentar_fuzz_checks PUBLIC ${LENTAR_FUZZ_DIR})
  target_link_libraries(lentar_fuzz_checks
    PUBLIC lentar_codec lentar_document lentar_picture Qt6::Core
    PRIVATE LibXml2::LibXml2)

  add_library(lentar_fuzz_seeds STATIC ${LENTAR_FUZZ_DIR}/fuzz_seeds.cpp ${LENTAR_FUZZ_DIR}/fuzz_seeds.h)
  target_link_libraries(lentar_fuzz_seeds PUBLIC lentar_fuzz_checks lentar_picture_fixtures)
endif()
