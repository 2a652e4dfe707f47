# ZEQImport of one model with many user properties, and of many takes: neither may make the import
# grow faster than n log n.
zeq_add_bench(bench_pluginimportmany SOURCES pluginimportmany_bench.cpp LIBS zeqtulo_import)
