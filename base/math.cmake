# Math value types and kernels of the base library (sources appended to zeq_base).
target_sources(zeq_base PRIVATE
  kgemath.cpp
  ktriangulation.cpp
  kvxrotationorder.cpp
  kzeqmatrix.cpp
  kzeqvector.cpp
)

zeq_add_test(base_math_tests
  SOURCES
    tests/kgemath_test.cpp
    tests/ktriangulation_test.cpp
    tests/kvxrotationorder_test.cpp
    tests/kzeqmatrix_test.cpp
    tests/kzeqvector_test.cpp
  LIBS zeq_base)
