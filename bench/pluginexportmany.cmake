# ZEQExport of host scenes imported from files naming many things along one line (a deep chain of
# nulls, one null with many user properties): neither export may grow faster than n log n.
zeq_add_bench(bench_pluginexportmany SOURCES pluginexportmany_bench.cpp LIBS zeqtulo_import zeqtulo_export)
