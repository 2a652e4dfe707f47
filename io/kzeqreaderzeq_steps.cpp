#include "io/kzeqreaderzeq_steps.h"

#include "io/kzeqsurfaces_steps.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

// The sections in the order the read meets them. Rows whose reader is null
// are sections still to be built.
const ZeqReadStep kZeqReadSteps[] = {
    {"Definitions", eZeqAnyLayout, -1, eZeqEndsReadOnFailure, &ZeqReadDefinitions},
    {"camera switcher", eZeqAnyLayout, -1, 0, &ZeqReadCameraSwitcher},
    {"rewind", eZeqAnyLayout, -1, 0, &ZeqReadRewindMainSection},
    {"Objects", eZeqVersion6Layout, -1, eZeqEndsReadOnFailure, &ZeqReadObjects},
    {"Model", eZeqBeforeVersion6Layout, -1, eZeqEndsReadOnFailure, &ZeqReadModels},
    {"Model::Scene", eZeqAnyLayout, -1, eZeqRunsAfterFailure, &ZeqReadRegisterSceneRoot},
    {"hierarchy", eZeqAnyLayout, -1, eZeqEndsReadOnFailure, &ZeqReadHierarchy},
    {"camera backgrounds", eZeqAnyLayout, -1, eZeqEndsReadOnFailure, &ZeqReadCameraBackgrounds},
    {"duplicate textures and materials", eZeqBeforeVersion6Layout, -1, 0, &ZeqReadDuplicates},
    {"Media", eZeqAnyLayout, 2, 0, &ZeqReadMedia},
    {"camera switcher indices", eZeqAnyLayout, -1, 0, &ZeqReorderCameraSwitcherIndices},
    {"GoboManager", eZeqAnyLayout, 5, 0, &ZeqReadGobos},
    {"MARKERSET", eZeqAnyLayout, 7, 0, &ZeqReadMarkerSets},
    {"ACTOR", eZeqAnyLayout, 7, 0, &ZeqReadActors},
    {"CHARACTER", eZeqAnyLayout, 7, 0, &ZeqReadCharacters},
    {"SceneGenericPersistence", eZeqAnyLayout, -1, 0, &ZeqReadSceneGenericPersistence},
    {"Version5", eZeqVersion6Layout, 8, 0, &ZeqReadVersion5Block},
    {"global settings", eZeqBeforeVersion6Layout, 8, 0, &ZeqReadTopLevelGlobalSettings},
    {"Connections", eZeqVersion6Layout, -1, 0, &ZeqReadConnections},
    {"models with no path to the root", eZeqVersion6Layout, -1, 0, &ZeqReadPlaceModelsOutsideTheScene},
    {"control sets from their plugs", eZeqVersion6Layout, -1, 0, &ZeqReadControlSetsFromPlugs},
    {"Takes", eZeqAnyLayout, 6, eZeqEndsReadOnFailure | eZeqNeedsTakes, &ZeqReadTakes},
    {"post-processing", eZeqVersion6Layout, -1, 0, &ZeqReadPostProcessing},
    {"material and texture indices, duplicates", eZeqVersion6Layout, -1, 0, &ZeqReadMaterialAndTextureEnd},
    {"link indices", eZeqAnyLayout, -1, eZeqRunsAfterFailure, &ZeqReadBoundLinkIndices},
    {"deformers", eZeqVersion6Layout, -1, eZeqRunsAfterFailure, &ZeqReadRemoveDeformers},
};
const int kZeqReadStepCount = static_cast<int>(sizeof(kZeqReadSteps) / sizeof(kZeqReadSteps[0]));

const ZeqObjectKind kZeqObjectKinds[] = {
    {"Model", nullptr, &ZeqReadModelObject},
    {"Material", nullptr, &ZeqReadMaterialObject},
    {"Texture", nullptr, &ZeqReadTextureObject},
    {"Deformer", nullptr, &ZeqReadDeformerObject},  // "Skin" and "Cluster" in any letter case
    {"Pose", "CharacterPose", &ZeqReadCharacterPoseObject},
    {"Pose", "BindPose", &ZeqReadPoseObject},
    {"Pose", "RestPose", &ZeqReadPoseObject},
    {"GenericNode", nullptr, &ZeqReadGenericNodeObject},
    {"Constraint", "Character", &ZeqReadCharacterObject},
    {"ControlSetPlug", "ControlSetPlug", &ZeqReadControlSetPlugObject},
};
const int kZeqObjectKindCount = static_cast<int>(sizeof(kZeqObjectKinds) / sizeof(kZeqObjectKinds[0]));

// The marker and skeleton rows carry their type as set-up.
const ZeqAttributeKind kZeqAttributeKinds[] = {
    {"Null", &ZeqCreateNull, 0, &ZeqReadNullFields, false},
    {"Marker", &ZeqCreateMarker, 0, &ZeqReadMarkerFields, true},
    {"OpticalMarker", &ZeqCreateMarker, 1, &ZeqReadMarkerFields, true},
    {"IKEffector", &ZeqCreateMarker, 2, &ZeqReadMarkerFields, true},
    {"FKEffector", &ZeqCreateMarker, 3, &ZeqReadMarkerFields, true},
    {"Root", &ZeqCreateSkeleton, 0, &ZeqReadSkeletonFields, false},
    {"Limb", &ZeqCreateSkeleton, 1, &ZeqReadSkeletonFields, false},
    {"LimbNode", &ZeqCreateSkeleton, 2, &ZeqReadSkeletonFields, false},
    {"Effector", &ZeqCreateSkeleton, 3, nullptr, true},
    {"Nurb", &ZeqCreateNurb, 0, &ZeqReadNurbFields, false},
    {"Patch", &ZeqCreatePatch, 0, &ZeqReadPatchFields, false},
    {"Light", &ZeqCreateLight, 0, &ZeqReadLightFields, true},
    {"Camera", &ZeqCreateCamera, 0, &ZeqReadCameraFields, false},
    {"Optical", &ZeqCreateOpticalReference, 0, nullptr, true},
    {nullptr, &ZeqCreateMesh, 0, &ZeqReadMeshFields, false},
};
const int kZeqAttributeKindCount = static_cast<int>(sizeof(kZeqAttributeKinds) / sizeof(kZeqAttributeKinds[0]));

const ZeqNodeRecordHooks kZeqNodeRecordHooks = {
    &ZeqReadNodeTarget,
    &ZeqReadNodeLimits,
    &ZeqReadNodePivots,
};

const ZeqGeometryHooks kZeqGeometryHooks = {
    &ZeqReadLinkRecord,
    &ZeqReadShapeRecord,
};

const ZeqReaderHooks kZeqReaderHooks = {
    &ZeqReadGlobalLightSettings,
    &ZeqReadGlobalTimeSettings,
    &ZeqReadGlobalCameraAndTimeSettings,
    &ZeqReadPoses,
    &ZeqReadCharacterPoses,
};

}  // namespace zeqsdk_400
