# The plug-in's settings file: loaded, saved and loaded again.
zeq_add_fuzz(plugin_settings_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_settings_fuzz.cpp LIBS zeqtulo_shell)
