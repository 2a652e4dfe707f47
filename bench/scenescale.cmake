# A flat scene of null nodes created, exported, imported and cleared, per node, with its heap.
if(TARGET zeq_io)
  zeq_add_bench(bench_scenescale SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenescale_bench.cpp LIBS zeq_io)
endif()
