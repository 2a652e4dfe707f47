# A 6.0 null chain read back, its connections in four orders: no order may make the read grow
# faster than n log n.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqhierarchy SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqhierarchy_bench.cpp LIBS zeq_io)
endif()
