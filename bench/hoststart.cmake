# The host's start-up under a large user database, run as a child host program in mounts of its own.
zeq_add_bench(bench_hoststart SOURCES hoststart_bench.cpp LIBS zeq_fileio)
if(TARGET bench_hoststart)
  add_dependencies(bench_hoststart tulo-standin zeqtulo)
  target_include_directories(bench_hoststart PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(bench_hoststart PRIVATE
    TULO_STANDIN="$<TARGET_FILE:tulo-standin>" ZEQTULO_MODULE="$<TARGET_FILE:zeqtulo>")
endif()
