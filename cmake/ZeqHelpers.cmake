# Every test runs through this script: each CTest run's tests share a scratch folder of the run's
# own (ZEQ_TEST_TMP, made in the build's test-tmp, ZEQ_TEST_RUNS), which two runs in one build
# folder never share.
set(ZEQ_IN_TEST_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/in-test-run.sh)

# zeq_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable; its cases are listed once, when it is built: runs of CTest started
# together read the list and never write it. Parameterised cases are named by their suite's name
# generator, never by the parameter's bytes.
function(zeq_add_test name)
  if(NOT ZEQ_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  # Runs each discovered test, and the listing at build time, which it bounds (minutes, as a loaded
  # machine may need) and whose failure it names; CMake's own bound on the listing only backs it.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${ZEQ_IN_TEST_RUN})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    DISCOVERY_MODE POST_BUILD
    DISCOVERY_TIMEOUT 600
    NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "ZEQ_TEST_RUNS=${CMAKE_BINARY_DIR}/test-tmp" FIXTURES_REQUIRED zeq_test_run)
endfunction()

# zeq_add_command_test(<name> <command...>): a test that runs a command (a script, a tool) inside
# the test run, as every test is: after its start, before its check of what the run left. Its
# files go where that check looks (the run's ZEQ_TEST_TMP), as every test's do. Its time is its own,
# whatever `ctest --timeout` says: half an hour, which a loaded machine needs for the many runs of
# some, and past each of their waits (300 s at most, see scripts/tests/scratch.py), so that a hang
# fails by the test's own message.
function(zeq_add_command_test name command)
  if(TARGET ${command})
    set(command $<TARGET_FILE:${command}>)
  endif()
  add_test(NAME ${name} COMMAND ${ZEQ_IN_TEST_RUN} ${command} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED zeq_test_run TIMEOUT 1800
                       ENVIRONMENT "ZEQ_TEST_RUNS=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()

# zeq_add_bench(<name> SOURCES <files...> LIBS <targets...>)
function(zeq_add_bench name)
  if(NOT ZEQ_BUILD_BENCH)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# zeq_add_fuzz(<name> SOURCES <files...> LIBS <targets...>)
function(zeq_add_fuzz name)
  if(NOT ZEQ_BUILD_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()
