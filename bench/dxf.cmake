# DXF reading of faces and block references, beside the peer parser (when
# installed) over the same files.
if(TARGET zeq_formats)
  zeq_add_bench(bench_dxf SOURCES ${CMAKE_CURRENT_LIST_DIR}/dxf_bench.cpp LIBS zeq_formats)
  find_package(PkgConfig QUIET)
  if(TARGET bench_dxf AND PKG_CONFIG_FOUND)
    pkg_check_modules(DXFLIB QUIET dxflib)
    if(DXFLIB_FOUND)
      target_include_directories(bench_dxf SYSTEM PRIVATE ${DXFLIB_INCLUDE_DIRS})
      target_link_libraries(bench_dxf PRIVATE ${DXFLIB_LINK_LIBRARIES})
      target_compile_definitions(bench_dxf PRIVATE ZEQ_HAVE_DXFLIB)
    endif()
  endif()
endif()
