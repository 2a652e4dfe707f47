zeq_add_bench(bench_scenetake SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenetake_bench.cpp LIBS zeq_scene)
