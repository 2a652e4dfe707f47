# The field file against raw stdio, per encoding, and the libraries under it
# (the cipher comparison needs libgcrypt20-dev; without it that benchmark is left out).
zeq_add_bench(bench_zeq SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeq_bench.cpp LIBS zeq_fileio)
if(TARGET bench_zeq)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ZEQ_CODEC_LIBS QUIET IMPORTED_TARGET libdeflate libgcrypt)
  if(ZEQ_CODEC_LIBS_FOUND)
    zeq_add_bench(bench_zeqcodec SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqcodec_bench.cpp
                  LIBS zeq_fileio PkgConfig::ZEQ_CODEC_LIBS)
  endif()
endif()
