# OBJ reading beside the peer reader (when installed), writing, and the
# export deformation of points by links.
if(TARGET zeq_formats)
  zeq_add_bench(bench_obj SOURCES ${CMAKE_CURRENT_LIST_DIR}/obj_bench.cpp LIBS zeq_formats)
  find_package(tinyobjloader QUIET)
  if(TARGET bench_obj AND TARGET tinyobjloader::tinyobjloader_double)
    target_link_libraries(bench_obj PRIVATE tinyobjloader::tinyobjloader_double)
    target_compile_definitions(bench_obj PRIVATE ZEQ_HAVE_TINYOBJLOADER TINYOBJLOADER_USE_DOUBLE)
  endif()
endif()
