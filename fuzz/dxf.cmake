# DXF text through the importer in the three groupings.
if(TARGET zeq_formats)
  zeq_add_fuzz(dxf_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/dxf_fuzz.cpp LIBS zeq_formats)
endif()
