# The property-list record of the object persistence reads untrusted files.
zeq_add_fuzz(object_propertylist_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/object_propertylist_fuzz.cpp LIBS zeq_object)
