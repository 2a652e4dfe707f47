# Curve utilities and the simple filters: constant key reducer, resample, time
# shift and scale.
target_sources(zeq_fcurve PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurveutils.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefilterconstantkeyreducer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefilterresample.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefiltertimeshift.cpp
)

zeq_add_test(fcurve_filters_simple_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurveutils_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefilterconstantkeyreducer_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefilterresample_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefiltertimeshift_test.cpp
  LIBS zeq_fcurve)
