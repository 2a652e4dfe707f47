# The field file against raw stdio, per encoding, and the libraries under it.
zeq_add_bench(bench_zeq SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeq_bench.cpp LIBS zeq_fileio)
if(TARGET bench_zeq)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ZEQ_CODEC_LIBS IMPORTED_TARGET libdeflate libgcrypt)
  zeq_add_bench(bench_zeqcodec SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqcodec_bench.cpp
                LIBS zeq_fileio PkgConfig::ZEQ_CODEC_LIBS)
endif()
