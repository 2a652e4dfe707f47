# The 3DS chunk toolkit: arrays, many small chunks, lookups, records and motion (its files made
# and removed through fileio, in the program's scratch folder),
# and (with lib3ds-dev) whole loads beside lib3ds in the same run.
if(TARGET zeq_formats_3dstoolkit)
  zeq_add_bench(bench_3dstoolkit SOURCES ${CMAKE_CURRENT_LIST_DIR}/3dstoolkit_bench.cpp
                ${CMAKE_CURRENT_LIST_DIR}/3dstoolkit_records_bench.cpp
                ${CMAKE_CURRENT_LIST_DIR}/3dstoolkit_motion_bench.cpp LIBS zeq_formats_3dstoolkit zeq_fileio)
  if(TARGET bench_3dstoolkit)
    find_path(ZEQ_BENCH_LIB3DS_INCLUDE lib3ds/file.h)
    find_library(ZEQ_BENCH_LIB3DS NAMES 3ds 3ds-1)
    if(ZEQ_BENCH_LIB3DS_INCLUDE AND ZEQ_BENCH_LIB3DS)
      target_include_directories(bench_3dstoolkit SYSTEM PRIVATE ${ZEQ_BENCH_LIB3DS_INCLUDE})
      target_link_libraries(bench_3dstoolkit PRIVATE ${ZEQ_BENCH_LIB3DS})
      target_compile_definitions(bench_3dstoolkit PRIVATE ZEQ_HAVE_LIB3DS=1)
    endif()
  endif()
endif()
