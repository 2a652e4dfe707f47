# Host scene import: the pass beside the importer's read, nulls, a big mesh and bind poses.
zeq_add_bench(bench_pluginimport SOURCES pluginimport_bench.cpp LIBS zeqtulo_import)
