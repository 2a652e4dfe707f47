# Big meshes through Zeq files against the same arrays through the field file
# alone; merging of equal textures.
if(TARGET zeq_io)
  zeq_add_bench(bench_zeqgeometry SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqgeometry_bench.cpp
                ${PROJECT_SOURCE_DIR}/io/tests/zeqgeometryscene.cpp LIBS zeq_io)
endif()
