# What the group rule costs under a large user database, in mounts of its own: the host's start-up
# (a child host program) and one judgement of the SDK's rule.
zeq_add_bench(bench_grouprule SOURCES grouprule_bench.cpp LIBS zeq_fileio)
if(TARGET bench_grouprule)
  add_dependencies(bench_grouprule tulo-standin zeqtulo)
  target_include_directories(bench_grouprule PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(bench_grouprule PRIVATE
    TULO_STANDIN="$<TARGET_FILE:tulo-standin>" ZEQTULO_MODULE="$<TARGET_FILE:zeqtulo>")
endif()
