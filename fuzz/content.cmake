# The TIFF reader of the image converter: arbitrary bytes as a .tif file.
if(TARGET zeq_scene)
  find_package(TIFF REQUIRED)
  zeq_add_fuzz(tif_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/tif_fuzz.cpp LIBS zeq_scene TIFF::TIFF)
endif()
