# Bytes as a Zeq file through ZEQImport into a fresh stand-in scene.
zeq_add_fuzz(plugin_import_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/pluginimport_fuzz.cpp LIBS zeqtulo_import)
