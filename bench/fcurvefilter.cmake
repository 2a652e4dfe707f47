# Curve filters.
zeq_add_bench(bench_fcurvefilter SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fcurvefilter_bench.cpp LIBS zeq_fcurve)
