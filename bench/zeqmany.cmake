# One model with many user properties, and many takes, read back: neither may make the read grow
# faster than n log n.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqmany SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqmany_bench.cpp LIBS zeq_io)
endif()
