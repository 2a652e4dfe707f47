# The Acclaim readers and writers through their rows: arbitrary ASF text, and
# arbitrary AMC text over a fixed skeleton.
if(TARGET zeq_formats_asf)
  zeq_add_fuzz(asf_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/asf_fuzz.cpp LIBS zeq_formats)
  zeq_add_fuzz(amc_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/amc_fuzz.cpp LIBS zeq_formats)
endif()
