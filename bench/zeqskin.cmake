# Skin links and a big shape through the Zeq writers and reader, against the
# same arrays as plain typed-array fields.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqskin SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqskin_bench.cpp LIBS zeq_io)
endif()
