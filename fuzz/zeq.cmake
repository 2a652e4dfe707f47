# The field file: arbitrary bytes opened as binary, encrypted and ASCII files.
zeq_add_fuzz(zeq_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeq_fuzz.cpp LIBS zeq_fileio)
