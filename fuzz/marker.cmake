# Marker formats: TRC (with a ".tc" companion) and C3D through the importer,
# what reads written back through the exporter.
if(TARGET zeq_formats)
  zeq_add_fuzz(trc_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/trc_fuzz.cpp LIBS zeq_formats)
  zeq_add_fuzz(c3d_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/c3d_fuzz.cpp LIBS zeq_formats)
endif()
