# Gobos shared by many lights and large bind poses through the Zeq writers and reader.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqsettings SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqsettings_bench.cpp LIBS zeq_io)
endif()
