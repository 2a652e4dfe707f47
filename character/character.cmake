# Characters, compiled into zeq_scene (see scene/CMakeLists.txt).
set(ZEQ_CHARACTER_DIR ${PROJECT_SOURCE_DIR}/character)
target_sources(zeq_scene PRIVATE
  ${ZEQ_CHARACTER_DIR}/kcharactermodes.cpp
  ${ZEQ_CHARACTER_DIR}/kfiltersetinfo.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqactor.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcharacternodeid.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcontrolset.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqfilterset.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqmarkerset.cpp
)

zeq_add_test(character_tests
  SOURCES
    ${ZEQ_CHARACTER_DIR}/tests/kcharactermodes_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcharacternodeid_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqfilterset_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcontrolset_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqmarkerset_test.cpp
  LIBS zeq_scene)
