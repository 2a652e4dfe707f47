zeq_add_bench(bench_character SOURCES ${CMAKE_CURRENT_LIST_DIR}/character_bench.cpp LIBS zeq_scene)
