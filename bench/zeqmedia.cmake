# Media embedded into a binary Zeq file and extracted from it, against a plain file copy.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqmedia SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqmedia_bench.cpp LIBS zeq_io)
endif()
