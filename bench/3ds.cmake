# The 3DS reader and writer on meshes, nodes, lights and cameras, and (with
# lib3ds-dev) lib3ds loading and saving the same content in the same run.
if(TARGET zeq_formats)
  zeq_add_bench(bench_3ds SOURCES ${CMAKE_CURRENT_LIST_DIR}/3ds_bench.cpp LIBS zeq_formats)
  if(TARGET bench_3ds)
    find_path(ZEQ_BENCH_LIB3DS_INCLUDE lib3ds/file.h)
    find_library(ZEQ_BENCH_LIB3DS NAMES 3ds 3ds-1)
    if(ZEQ_BENCH_LIB3DS_INCLUDE AND ZEQ_BENCH_LIB3DS)
      target_include_directories(bench_3ds SYSTEM PRIVATE ${ZEQ_BENCH_LIB3DS_INCLUDE})
      target_link_libraries(bench_3ds PRIVATE ${ZEQ_BENCH_LIB3DS})
      target_compile_definitions(bench_3ds PRIVATE ZEQ_HAVE_LIB3DS=1)
    endif()
  endif()
endif()
