# Node names read from Zeq files, and settings files of user options.
if(TARGET zeq_io)
  zeq_add_fuzz(io_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/io_fuzz.cpp LIBS zeq_io)
endif()
