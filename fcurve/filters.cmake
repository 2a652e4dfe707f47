# Curve filters: the filter base and the filters built on it. Each filter adds
# its source to zeq_fcurve and its test file to fcurve_filter_tests here.
target_sources(zeq_fcurve PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefilter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefilterkeysync.cpp
)

zeq_add_test(fcurve_filter_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefilter_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefilterkeysync_test.cpp
  LIBS zeq_fcurve)
