# Layered curve-node evaluation.
zeq_add_bench(bench_fcurvenode SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fcurvenode_bench.cpp LIBS zeq_fcurve)
