# BVH files through the importer (and what reads back out through the
# exporter). Seed with a copy of the shared samples, in a folder of the user's own:
#   corpus=$(mktemp -d) && cp -r ../shared/testdata/bvh/. "$corpus" && ./build/fuzz/fuzz/bvh_fuzz "$corpus"
if(TARGET zeq_formats_bvh)
  zeq_add_fuzz(bvh_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/bvh_fuzz.cpp LIBS zeq_formats)
endif()
