# Curve-node trees: construction, layers, evaluation, candidates, keys across
# channels and storage.
target_sources(zeq_fcurve PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvenode.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvenodecandidate.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvenodeeval.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvenodekeys.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvenodelayer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kfcurvenodestore.cpp
)
target_link_libraries(zeq_fcurve PUBLIC zeq_object)

zeq_add_test(fcurve_node_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvenode_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvenodeeval_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvenodekeys_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/kfcurvenodestore_test.cpp
  LIBS zeq_fcurve)
