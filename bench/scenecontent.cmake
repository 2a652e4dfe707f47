zeq_add_bench(bench_scenecontent SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenecontent_bench.cpp LIBS zeq_scene)
