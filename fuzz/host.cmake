# Script text of the stand-in host: the parser, then the commands on a fresh scene.
zeq_add_fuzz(host_script_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_script_fuzz.cpp LIBS tulo_api)
