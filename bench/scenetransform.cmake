zeq_add_bench(bench_scenetransform SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenetransform_bench.cpp LIBS zeq_scene)
