# Scenes of characters with full links and control sets through both Zeq writers and the reader.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqcharacter SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqcharacter_bench.cpp LIBS zeq_io)
endif()
