# The HTR reader through its row on arbitrary text; what reads is written back out.
if(TARGET zeq_formats_htr)
  zeq_add_fuzz(htr_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/htr_fuzz.cpp LIBS zeq_formats)
endif()
