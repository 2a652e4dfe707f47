# OBJ files with their material libraries through the importer, and what
# they read as written back through the exporter.
if(TARGET zeq_formats)
  zeq_add_fuzz(obj_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/obj_fuzz.cpp LIBS zeq_formats)
  zeq_add_fuzz(mtl_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/obj_fuzz.cpp LIBS zeq_formats)
  target_compile_definitions(mtl_fuzz PRIVATE ZEQ_FUZZ_MTL)
endif()
