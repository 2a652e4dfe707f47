zeq_add_bench(bench_object SOURCES ${CMAKE_CURRENT_LIST_DIR}/object_bench.cpp LIBS zeq_object)
