# Characters, compiled into zeq_scene (see scene/CMakeLists.txt).
set(ZEQ_CHARACTER_DIR ${PROJECT_SOURCE_DIR}/character)
target_sources(zeq_scene PRIVATE
  ${ZEQ_CHARACTER_DIR}/kcharactermodes.cpp
  ${ZEQ_CHARACTER_DIR}/kfiltersetinfo.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqactor.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcharacter.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcharacternodeid.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcharacterproperties.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcontrolset.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcontrolsetplug.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqfilterset.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqmarkerset.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqcharacterpose.cpp
  ${ZEQ_CHARACTER_DIR}/kzeqscene_character.cpp
)

zeq_add_test(character_tests
  SOURCES
    ${ZEQ_CHARACTER_DIR}/tests/kcharactermodes_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcharacter_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcharacterpose_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcharacterproperties_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcharacternodeid_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqfilterset_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcontrolset_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqcontrolsetplug_test.cpp
    ${ZEQ_CHARACTER_DIR}/tests/kzeqmarkerset_test.cpp
  LIBS zeq_scene)
