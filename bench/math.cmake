zeq_add_bench(bench_math SOURCES math_bench.cpp LIBS zeq_base)
