zeq_add_bench(bench_files SOURCES files_bench.cpp LIBS zeq_fileio)
