# The OBJ, DXF and 3DS writers on many small meshes, flat and deep, with and without pivots.
if(TARGET zeq_formats)
  zeq_add_bench(bench_geometryplacement SOURCES ${CMAKE_CURRENT_LIST_DIR}/geometryplacement_bench.cpp LIBS zeq_formats)
endif()
