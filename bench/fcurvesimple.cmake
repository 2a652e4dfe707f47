# Curve utilities, constant key reducer, resample, time shift and scale.
zeq_add_bench(bench_fcurvesimple SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fcurvesimple_bench.cpp LIBS zeq_fcurve)
