# Aimed cameras through ZEQImport and a host round trip: neither may grow faster than n log n.
zeq_add_bench(bench_pluginimportrigs SOURCES pluginimportrigs_bench.cpp LIBS zeqtulo_import zeqtulo_export)
