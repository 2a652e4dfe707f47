# Curve-node trees read from arbitrary field files, then evaluated and stored again.
zeq_add_fuzz(fcurvenode_store_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/fcurvenode_store_fuzz.cpp LIBS zeq_fcurve)
