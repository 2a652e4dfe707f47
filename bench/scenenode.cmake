zeq_add_bench(bench_scenenode SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenenode_bench.cpp LIBS zeq_scene)
