# Smart plot and layer merge; the key reducer.
zeq_add_bench(bench_fcurveplot SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fcurveplot_bench.cpp LIBS zeq_fcurve)
