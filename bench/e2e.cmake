# The main job's plug-in road at size (n nulls, a mesh of n vertices) beside the SDK's own read and
# write of the same file.
zeq_add_bench(bench_e2e SOURCES e2e_bench.cpp LIBS zeqtulo_export zeqtulo_import)
