if(TARGET zeq_formats_htr)
  zeq_add_bench(bench_htr SOURCES ${CMAKE_CURRENT_LIST_DIR}/htr_bench.cpp LIBS zeq_formats)
endif()
