# The 3DS chunk toolkit: whole files and each tag's data (seeds: the shared 3DS
# sample files, on a copy).
if(TARGET zeq_formats_3dstoolkit)
  zeq_add_fuzz(3dstoolkit_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/3dstoolkit_fuzz.cpp LIBS zeq_formats_3dstoolkit)
endif()
