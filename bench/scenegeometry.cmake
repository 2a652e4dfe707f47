zeq_add_bench(bench_scenegeometry SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenegeometry_bench.cpp LIBS zeq_scene)
