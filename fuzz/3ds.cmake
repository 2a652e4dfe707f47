# The 3DS reader through the importer on arbitrary bytes, the scene it reads
# then written back (seeds: the shared 3DS sample files and fuzz/corpus/3ds_fuzz,
# files our writer made, on a copy).
if(TARGET zeq_formats)
  zeq_add_fuzz(3ds_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/3ds_fuzz.cpp LIBS zeq_formats)
endif()
