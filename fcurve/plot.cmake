# Smart plot, layer merge and the bake of layers and time warps; the key reducer filter.
target_sources(zeq_fcurve PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvebake.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvebaketimes.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurveplot.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurveplotalgebra.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurveplotfidelity.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvefilterkeyreducer.cpp
)

zeq_add_test(fcurve_plot_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvebake_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvebaketimes_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/take_reference_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurveplot_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvefilterkeyreducer_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvenearquarterturn_test.cpp
  LIBS zeq_fcurve)
