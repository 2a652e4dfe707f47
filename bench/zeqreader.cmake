# Read options of Zeq files: gathered from the main section, then from the "Summary".
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqreader SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqreader_bench.cpp LIBS zeq_io)
endif()
