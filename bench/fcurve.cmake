zeq_add_bench(bench_fcurve SOURCES fcurve_bench.cpp LIBS zeq_fcurve)
