zeq_add_bench(bench_files SOURCES files_bench.cpp LIBS zeq_fileio)
# A benchmark stopped midway leaves no scratch folder (run where the benchmarks are built).
if(ZEQ_BUILD_TESTS)
  zeq_add_command_test(Bench.AStoppedBenchmarkLeavesNoScratchFolder
    ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tests/stopped_bench_test.py $<TARGET_FILE:bench_files>)
endif()
