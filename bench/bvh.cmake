# BVH files of a 31-joint skeleton read and written through the importer and
# exporter, beside a std::from_chars pass over the same numbers.
if(TARGET zeq_formats_bvh)
  zeq_add_bench(bench_bvh SOURCES ${CMAKE_CURRENT_LIST_DIR}/bvh_bench.cpp LIBS zeq_formats)
endif()
