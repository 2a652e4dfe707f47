# Random sequences of key edits on one curve: storage, search, tangents, batches.
zeq_add_fuzz(fcurve_ops_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fcurve_ops_fuzz.cpp LIBS zeq_fcurve)
# Curve records read from arbitrary field files (binary and ASCII).
zeq_add_fuzz(fcurve_store_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fcurve_store_fuzz.cpp LIBS zeq_fcurve)
