# Every motion writer on skeletons of many joints, flat and deep, plain and with full transforms.
if(TARGET zeq_formats)
  zeq_add_bench(bench_motionplacement SOURCES ${CMAKE_CURRENT_LIST_DIR}/motionplacement_bench.cpp LIBS zeq_formats)
endif()
