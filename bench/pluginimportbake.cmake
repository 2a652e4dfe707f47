# ZEQImport of a small file whose take repeats over a long span: what its bake may cost the host.
zeq_add_bench(bench_pluginimportbake SOURCES pluginimportbake_bench.cpp LIBS zeqtulo_import)
