# Node trees and long takes through both Zeq writers and the reader.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqscene SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqscene_bench.cpp LIBS zeq_io)
endif()
