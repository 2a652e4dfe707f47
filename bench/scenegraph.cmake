zeq_add_bench(bench_scenegraph SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenegraph_bench.cpp LIBS zeq_scene)
