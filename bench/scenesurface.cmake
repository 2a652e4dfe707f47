zeq_add_bench(bench_scenesurface SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenesurface_bench.cpp LIBS zeq_scene)
