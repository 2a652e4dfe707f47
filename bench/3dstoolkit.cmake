# The 3DS chunk toolkit: arrays, many small chunks and whole files.
if(TARGET zeq_formats_3dstoolkit)
  zeq_add_bench(bench_3dstoolkit SOURCES ${CMAKE_CURRENT_LIST_DIR}/3dstoolkit_bench.cpp LIBS zeq_formats_3dstoolkit)
endif()
