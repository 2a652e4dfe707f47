zeq_add_bench(bench_host SOURCES host_bench.cpp LIBS tulo_api)
