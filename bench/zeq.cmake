# The field file against raw stdio, per encoding.
zeq_add_bench(bench_zeq SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeq_bench.cpp LIBS zeq_fileio)
