if(TARGET zeq_io)
  zeq_add_bench(bench_io SOURCES ${CMAKE_CURRENT_LIST_DIR}/io_bench.cpp LIBS zeq_io)
endif()
