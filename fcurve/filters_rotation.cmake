# Rotation filters (unroll, gimbal killer), the rotation filter chosen in the
# library settings, and the matrix converter.
target_sources(zeq_fcurve PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefilterunroll.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefiltergimbalkiller.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurverotationfilter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefiltermatrixconverter.cpp
)

zeq_add_test(fcurve_filters_rotation_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefilterunroll_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefiltergimbalkiller_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurverotationfilter_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefiltermatrixconverter_test.cpp
  LIBS zeq_fcurve)
if(TARGET fcurve_filters_rotation_tests)
  # Found from any working directory.
  target_compile_definitions(fcurve_filters_rotation_tests PRIVATE
    ZEQ_FCURVE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")
endif()
