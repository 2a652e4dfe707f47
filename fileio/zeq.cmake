# The field file (KZeq) with its stream chain.
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(NETTLE REQUIRED IMPORTED_TARGET nettle)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)

target_sources(zeq_fileio PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/kchainedfile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeqcrypto.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeqbody.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeqbinary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeqascii.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeq.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeqproject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeqsection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kzeqembedded.cpp
)
# CRC-32 through libdeflate; zlib stays for the layers above that compress.
target_link_libraries(zeq_fileio PUBLIC ZLIB::ZLIB PkgConfig::NETTLE PkgConfig::LIBDEFLATE)

zeq_add_test(fileio_zeq_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/kchainedfile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_values_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_project_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_corrupt_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_ascii_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_lifecycle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_compat_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_pattern_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_record_test.cpp
  LIBS zeq_fileio)
if(TARGET fileio_zeq_tests)
  target_compile_definitions(fileio_zeq_tests PRIVATE ZEQ_FILEIO_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/tests/data")
endif()

# The field file when allocations fail: a failing operator new replaces the global one, so the
# test has a program of its own.
zeq_add_test(fileio_zeq_outofmemory_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/kzeq_outofmemory_test.cpp
  LIBS zeq_fileio)
