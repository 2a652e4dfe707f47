#include "io/kzeqreaderzeq_steps.h"

namespace zeqsdk_400 {

// The sections in the order the read meets them. Rows whose reader is null
// are sections still to be built.
const ZeqReadStep kZeqReadSteps[] = {
    {"Definitions", eZeqAnyLayout, -1, eZeqEndsReadOnFailure, nullptr},
    {"camera switcher", eZeqAnyLayout, -1, 0, nullptr},
    {"rewind", eZeqAnyLayout, -1, 0, &ZeqReadRewindMainSection},
    {"Objects", eZeqVersion6Layout, -1, eZeqEndsReadOnFailure, nullptr},
    {"Model", eZeqBeforeVersion6Layout, -1, eZeqEndsReadOnFailure, nullptr},
    {"Model::Scene", eZeqAnyLayout, -1, eZeqRunsAfterFailure, &ZeqReadRegisterSceneRoot},
    {"hierarchy", eZeqAnyLayout, -1, eZeqEndsReadOnFailure, nullptr},
    {"camera backgrounds", eZeqAnyLayout, -1, eZeqEndsReadOnFailure, nullptr},
    {"duplicate textures and materials", eZeqAnyLayout, -1, 0, nullptr},
    {"Media", eZeqAnyLayout, 2, 0, nullptr},
    {"camera switcher indices", eZeqAnyLayout, -1, 0, nullptr},
    {"GoboManager", eZeqAnyLayout, 5, 0, nullptr},
    {"MARKERSET", eZeqAnyLayout, 7, 0, nullptr},
    {"ACTOR", eZeqAnyLayout, 7, 0, nullptr},
    {"CHARACTER", eZeqAnyLayout, 7, 0, nullptr},
    {"SceneGenericPersistence", eZeqAnyLayout, -1, 0, &ZeqReadSceneGenericPersistence},
    {"Version5", eZeqVersion6Layout, 8, 0, &ZeqReadVersion5Block},
    {"global settings", eZeqBeforeVersion6Layout, 8, 0, &ZeqReadTopLevelGlobalSettings},
    {"Connections", eZeqVersion6Layout, -1, 0, nullptr},
    {"Takes", eZeqAnyLayout, 6, eZeqEndsReadOnFailure | eZeqNeedsTakes, nullptr},
    {"post-processing", eZeqVersion6Layout, -1, 0, nullptr},
};
const int kZeqReadStepCount = static_cast<int>(sizeof(kZeqReadSteps) / sizeof(kZeqReadSteps[0]));

const ZeqReaderHooks kZeqReaderHooks = {
    nullptr,  // global light settings
    nullptr,  // global time settings
    nullptr,  // global camera and time settings
    nullptr,  // poses
    nullptr,  // character poses
};

}  // namespace zeqsdk_400
