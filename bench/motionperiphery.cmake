# Peripheral motion formats: BRD (in frame order and reversed), MOV and VPM read
# whole, with the heap each sample keeps; a skeleton written to each.
if(TARGET zeq_formats)
  zeq_add_bench(bench_motionperiphery SOURCES motionperiphery_bench.cpp LIBS zeq_formats)
endif()
