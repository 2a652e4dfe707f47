# The 3DS chunk toolkit (seeds: the shared 3DS sample files, on a copy): whole
# files and each tag's data, and databases with every list and record. The
# targets write their inputs through fileio; the toolkit links nothing of the SDK.
if(TARGET zeq_formats_3dstoolkit)
  zeq_add_fuzz(3dstoolkit_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/3dstoolkit_fuzz.cpp
               LIBS zeq_formats_3dstoolkit zeq_fileio)
  zeq_add_fuzz(3dsdatabase_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/3dsdatabase_fuzz.cpp
               LIBS zeq_formats_3dstoolkit zeq_fileio)
endif()
