zeq_add_bench(bench_scenecamera SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenecamera_bench.cpp LIBS zeq_scene)
