# Paths, settings files, the settings registry, the folders a program keeps its own files in and the
# text tokenizer.
target_sources(zeq_fileio PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/kconfigfile.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfilereplacement.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kownfolders.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kregistry.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kscratchfolder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ktextfile.cpp
)
# A replaced file keeps its access control list and extended attributes.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBACL REQUIRED IMPORTED_TARGET libacl)
pkg_check_modules(LIBATTR REQUIRED IMPORTED_TARGET libattr)
target_link_libraries(zeq_fileio PUBLIC PkgConfig::LIBACL PkgConfig::LIBATTR)

zeq_add_test(fileio_files_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kpath_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kconfigfile_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfilereplacement_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kregistry_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kscratchfolder_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/ktextfile_test.cpp
  LIBS zeq_fileio)
# What another user of a shared folder may do to a file being replaced.
if(TARGET fileio_files_tests)
  target_sources(fileio_files_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfilereplacement_links_test.cpp
                                            ${CMAKE_CURRENT_SOURCE_DIR}/tests/kunnamedwrites_links_test.cpp)
endif()
# A test program started in the background by a script, SIGINT ignored, still stops its children.
if(TARGET fileio_files_tests)
  zeq_add_command_test(ScratchFolderTest.GoesWhenStartedWithSigintIgnored
    ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/tests/background_start_test.py
    $<TARGET_FILE:fileio_files_tests> ScratchFolderTest.GoesWhenTheProcessIsStopped)
endif()
