# The text tokenizer reads untrusted files for the text motion formats.
zeq_add_fuzz(fileio_textfile_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/textfile_fuzz.cpp LIBS zeq_fileio)
