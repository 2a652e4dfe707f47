# The Zeq scene reader through the importer: arbitrary bytes in the three
# encodings, and field files built from the input.
if(TARGET zeq_io)
  zeq_add_fuzz(zeqreader_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/zeqreader_fuzz.cpp
               ${PROJECT_SOURCE_DIR}/io/tests/zeqgeometryscene.cpp LIBS zeq_io)
endif()
