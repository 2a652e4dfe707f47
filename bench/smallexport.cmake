# Small OBJ and BVH files exported again and again into a folder 1, 30 or 60 levels deep.
if(TARGET zeq_formats)
  zeq_add_bench(bench_smallexport SOURCES ${CMAKE_CURRENT_LIST_DIR}/smallexport_bench.cpp LIBS zeq_formats)
endif()
