zeq_add_bench(bench_sceneconvert SOURCES ${CMAKE_CURRENT_LIST_DIR}/sceneconvert_bench.cpp LIBS zeq_scene)
