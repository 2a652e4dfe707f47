# Rotation filters and the matrix converter.
zeq_add_bench(bench_fcurverotation SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fcurverotation_bench.cpp LIBS zeq_fcurve)
