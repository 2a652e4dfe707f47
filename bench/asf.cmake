if(TARGET zeq_formats_asf)
  zeq_add_bench(bench_asf SOURCES ${CMAKE_CURRENT_LIST_DIR}/asf_bench.cpp LIBS zeq_formats)
endif()
