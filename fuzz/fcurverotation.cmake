# Rotation filters and the matrix converter on arbitrary curves (times, values
# and matrices taken from the input).
zeq_add_fuzz(fcurverotation_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/fcurverotation_fuzz.cpp LIBS zeq_fcurve)
