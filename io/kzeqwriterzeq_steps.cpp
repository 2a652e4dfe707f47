#include "io/kzeqwriterzeq_steps.h"

#include "io/kzeqsurfaces_steps.h"

namespace zeqsdk_400 {

namespace {

// Version 5.8: the order of the main section.
const ZeqWriteStep kZeq58Steps[] = {
    {"Media", 2, 0, &ZeqWriteMediaSection},  // also tells the media count to the "Summary"
    {"camera switcher", -1, 0, &ZeqWrite58CameraSwitcher},  // the 5.8 layout has no "Switcher"
    {"models", -1, 0, &ZeqWriteModels},
    {"password", -1, 0, &ZeqWritePassword},
    {"Takes", 6, 0, &ZeqWriteTakes},
    {"clear animated channels", -1, eZeqRunsAlways, &ZeqClearAnimatedChannels},
    {"GoboManager", 5, 0, &ZeqWriteGobos},
    {"MARKERSET", 7, 0, &ZeqWriteMarkerSets},
    {"ACTOR", 7, 0, &ZeqWriteActors},
    {"CHARACTER", 7, 0, &ZeqWriteCharacters},
    {"SceneGenericPersistence", -1, 0, &ZeqWriteSceneGenericPersistence},
    {"Constraints", 7, 0, &ZeqWriteConstraints},
    {"global settings", 8, 0, &ZeqWriteGlobalSettings},
};

// Version 6.0.
const ZeqWriteStep kZeq6Steps[] = {
    {"characters with their control-set plugs", -1, 0, &ZeqBeginCharacterObjects},
    {"materials and textures to connections", -1, 0, &ZeqWriteConnectMaterialsAndTextures},
    {"media names", 2, 0, &ZeqNameMedia},
    {"Definitions", -1, 0, &ZeqWriteDefinitions},
    {"Switcher", -1, 0, &ZeqWriteSwitcher},
    {"Objects", -1, eZeqAdvancesProgress, &ZeqWriteObjects},
    {"password", -1, 0, &ZeqWritePassword},
    {"Media", 2, 0, &ZeqWriteMediaSection},
    {"GoboManager", 5, 0, &ZeqWriteGobos},
    {"MARKERSET", 7, 0, &ZeqWriteMarkerSets},
    {"ACTOR", 7, 0, &ZeqWriteActors},
    {"SceneGenericPersistence", -1, 0, &ZeqWriteSceneGenericPersistence},
    {"Version5", 8, 0, &ZeqWriteVersion5Block},  // the global light and time settings
    {"Connections", -1, 0, &ZeqWriteConnections},
    {"Takes", 6, 0, &ZeqWriteTakes},
    {"remove the write's control-set plugs", -1, eZeqRunsAlways, &ZeqEndCharacterObjects},
};

}  // namespace

const ZeqWriterLayout kZeq58Layout = {
    5800, true, kZeq58Steps, static_cast<int>(sizeof(kZeq58Steps) / sizeof(kZeq58Steps[0])),
    &ZeqWrite58ConvertShapeNames,  // shape names to the version-5 form
    &ZeqWrite58RevertShapeNames,   // and back
    &ZeqFindAnimatedChannels,
    &ZeqWriteNodeRecordOf,
    &ZeqWriteCharacterPoses,
    &ZeqWritePoses,
};

const ZeqWriterLayout kZeq6Layout = {
    6000, false, kZeq6Steps, static_cast<int>(sizeof(kZeq6Steps) / sizeof(kZeq6Steps[0])),
    &ZeqWrite6LinksToDeformers,  // before "Definitions"
    &ZeqWrite6RemoveDeformers,   // after "Takes", whatever happened
    nullptr, nullptr,
    nullptr,  // character poses
    nullptr,  // poses
};

// By attribute type code: none, null, marker, skeleton, mesh, NURBS, patch,
// camera, camera switcher, light, optical reference.
const ZeqWriteNodeRecord kZeqAttributeWriters[11] = {
    nullptr, &ZeqWriteNullAttribute, &ZeqWriteMarkerAttribute, &ZeqWriteSkeletonAttribute,
    &ZeqWriteMeshAttribute, &ZeqWriteNurbAttribute, &ZeqWritePatchAttribute, &ZeqWriteCameraAttribute,
    &ZeqWriteCameraSwitcherAttribute, &ZeqWriteLightAttribute, &ZeqWriteOpticalReferenceAttribute,
};

const ZeqGeometryWriterHooks kZeqGeometryWriterHooks = {
    &ZeqWriteLinkRecords58,  // links
    &ZeqWriteShapeRecords,   // shapes
};

const ZeqNodeWriterHooks kZeqNodeWriterHooks = {
    &ZeqWriteNodeLimits,
    &ZeqWriteNodeTarget,
};

// The switcher node is no object: it lies outside the root's tree.
const ZeqObjectWriter kZeq6ObjectWriters[] = {
    {"Model", &ZeqListModels, &ZeqWriteModelObject},
    {"GenericNode", &ZeqListGenericNodes, &ZeqWriteGenericNodeObject},
    {"Material", &ZeqListMaterials, &ZeqWriteMaterialObject},
    {"Texture", &ZeqListTextures, &ZeqWriteTextureObject},
    {"Deformer", &ZeqListDeformers, &ZeqWriteDeformerObject},
    // Plugs before the characters they feed.
    {"ControlSetPlug", &ZeqListControlSetPlugs, &ZeqWriteControlSetPlugObject},
    {"Constraint", &ZeqListCharacters, &ZeqWriteCharacterObject},
    // Character poses, then bind and rest poses, under one type.
    {"Pose", &ZeqListAllPoses, &ZeqWriteAnyPoseObject},
};
const int kZeq6ObjectWriterCount = static_cast<int>(sizeof(kZeq6ObjectWriters) / sizeof(kZeq6ObjectWriters[0]));

}  // namespace zeqsdk_400
