zeq_add_bench(bench_objectplug SOURCES ${CMAKE_CURRENT_LIST_DIR}/objectplug_bench.cpp LIBS zeq_object)
