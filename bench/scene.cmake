zeq_add_bench(bench_scene SOURCES ${CMAKE_CURRENT_LIST_DIR}/scene_bench.cpp LIBS zeq_scene)
