# One model with many user properties, and many takes, read back, and the writes of many takes and of
# one take of many models under time warps: none may grow faster than n log n.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqmany SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqmany_bench.cpp LIBS zeq_io)
endif()
