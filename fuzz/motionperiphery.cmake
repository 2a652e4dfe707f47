# Peripheral motion formats through the importer, what reads written back
# through the exporter: AOA (and MCD), Corvantis MOV, Puppeteer VPM, Ascension BRD.
if(TARGET zeq_formats)
  foreach(target aoa mov vpm brd)
    zeq_add_fuzz(${target}_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}_fuzz.cpp LIBS zeq_formats)
  endforeach()
endif()
