zeq_add_bench(bench_base SOURCES base_bench.cpp LIBS zeq_base)
