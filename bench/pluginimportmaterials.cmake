# Host scene import: the material step over many meshes with their own materials, and the skin
# step on a big skin with many influences.
zeq_add_bench(bench_pluginimportmaterials SOURCES pluginimportmaterials_bench.cpp LIBS zeqtulo_import)
