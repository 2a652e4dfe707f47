zeq_add_bench(bench_plugin SOURCES plugin_bench.cpp LIBS zeqtulo_shell)
