#ifndef ZEQ_IO_KZEQWRITERZEQ_STEPS_H
#define ZEQ_IO_KZEQWRITERZEQ_STEPS_H

#include <vector>

namespace zeqsdk_400 {

class KZeq;
class KZeqGeometry;
class KZeqLayer;
class KZeqMaterial;
class KZeqMesh;
class KZeqNode;
class KZeqTexture;
class KZeqVector4;
class KZeqObject;
class KZeqScene;
class KZeqWriterZeqBase;

// The main section of a Zeq write, step by step. Each section's writer lives
// in its own source file and is named in its row; a row without a writer
// writes nothing.
typedef bool (*ZeqWriteSection)(KZeqWriterZeqBase& writer, KZeqScene& scene);
typedef bool (*ZeqWriteNodeRecord)(KZeqWriterZeqBase& writer, KZeqNode& node);

enum EZeqWriteStepFlags {
    // The scene's part of the progress is done after this step.
    eZeqAdvancesProgress = 1,
    // Runs even after a failed step, and is not followed by the error test.
    eZeqRunsAlways = 2
};

// A step's result is not looked at: a field-file error after it ends the steps.
struct ZeqWriteStep {
    const char* mWhat;
    int mOption;  // the option that switches the step, -1 when always
    int mFlags;
    ZeqWriteSection mWrite;
};

// What tells the two layouts apart.
struct ZeqWriterLayout {
    int mFileVersion;
    bool mBeforeVersion6;
    const ZeqWriteStep* mSteps;
    int mStepCount;
    ZeqWriteSection mBeforeSteps;  // run before the steps, even when nothing is written
    ZeqWriteSection mAfterSteps;   // and after them
    // The models step: the animated materials and textures are found first,
    // then every node's record is written.
    ZeqWriteSection mFindAnimatedChannels;
    ZeqWriteNodeRecord mNodeRecord;
    // Inside "SceneGenericPersistence": character poses (option 7), then poses.
    ZeqWriteSection mCharacterPoses;
    ZeqWriteSection mPoses;
};

extern const ZeqWriterLayout kZeq58Layout;
extern const ZeqWriterLayout kZeq6Layout;

// The attribute record of each attribute type code (0 to 10), given the
// node. A row without writer writes the default null record, so that a node
// never comes back as another kind.
extern const ZeqWriteNodeRecord kZeqAttributeWriters[11];

// Parts of the 5.8 node record written by other sections' writers; null until built.
struct ZeqNodeWriterHooks {
    ZeqWriteNodeRecord mLimits;  // "Limits"
    ZeqWriteNodeRecord mTarget;  // look-at and up-vector names
};
extern const ZeqNodeWriterHooks kZeqNodeWriterHooks;

// Object kinds of the 6.0 "Objects" section, in order. Each row lists the
// scene's objects of its kind and writes one object's whole field; every
// object listed is also a candidate end of the "Connections".
typedef void (*ZeqListObjects)(KZeqScene& scene, std::vector<KZeqObject*>& objects);
typedef bool (*ZeqWriteObject)(KZeqWriterZeqBase& writer, KZeqObject& object);
struct ZeqObjectWriter {
    const char* mType;
    ZeqListObjects mList;
    ZeqWriteObject mWrite;
};
extern const ZeqObjectWriter kZeq6ObjectWriters[];
extern const int kZeq6ObjectWriterCount;

// Steps and rows of the sections.
bool ZeqWriteNodeRecordOf(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteNullAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteMarkerAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteSkeletonAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteOpticalReferenceAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteTakes(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteDefinitions(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteObjects(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteConnections(KZeqWriterZeqBase& writer, KZeqScene& scene);
void ZeqListModels(KZeqScene& scene, std::vector<KZeqObject*>& objects);
void ZeqListGenericNodes(KZeqScene& scene, std::vector<KZeqObject*>& objects);
bool ZeqWriteModelObject(KZeqWriterZeqBase& writer, KZeqObject& object);
bool ZeqWriteGenericNodeObject(KZeqWriterZeqBase& writer, KZeqObject& object);

// Characters, constraints, character poses and control-set plugs
// (kzeqwriterzeq_character.cpp). A 6.0 write begins by giving every
// character a connected plug and ends by removing those it made.
bool ZeqWriteCharacters(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteConstraints(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteCharacterPoses(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqBeginCharacterObjects(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqEndCharacterObjects(KZeqWriterZeqBase& writer, KZeqScene& scene);
void ZeqListControlSetPlugs(KZeqScene& scene, std::vector<KZeqObject*>& objects);
void ZeqListCharacters(KZeqScene& scene, std::vector<KZeqObject*>& objects);
void ZeqListCharacterPoses(KZeqScene& scene, std::vector<KZeqObject*>& objects);
bool ZeqWriteControlSetPlugObject(KZeqWriterZeqBase& writer, KZeqObject& object);
bool ZeqWriteCharacterObject(KZeqWriterZeqBase& writer, KZeqObject& object);
bool ZeqWriteCharacterPoseObject(KZeqWriterZeqBase& writer, KZeqObject& object);
// One "Pose" row for both kinds of pose: character poses first.
void ZeqListAllPoses(KZeqScene& scene, std::vector<KZeqObject*>& objects);
bool ZeqWriteAnyPoseObject(KZeqWriterZeqBase& writer, KZeqObject& object);
// Geometry, materials and textures.
bool ZeqWriteMeshAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteMesh6(KZeqWriterZeqBase& writer, KZeqNode& node, KZeqMesh& mesh);
// What follows a 6.0 geometry's own fields: layer elements, shapes, "Layer" records.
bool ZeqWriteGeometryLayers6(KZeqWriterZeqBase& writer, KZeqNode& node, KZeqGeometry& geometry);
// 5.8: layer 0 in the mesh's own fields, the other layers' textures and UVs
// in "GeometryLayer" blocks (what the older records carry).
bool ZeqWriteMesh58(KZeqWriterZeqBase& writer, KZeqMesh& mesh);
// The part every geometry record shares: layer 0's materials (option 1), the
// textures of all layers (option 2, their list given back), links (3),
// shapes (4), then one "GeometryLayer" per layer after the first.
bool ZeqWriteGeometry58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry, std::vector<KZeqTexture*>& list);
bool ZeqWriteGeometryLayer58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry, int layer,
                             const std::vector<KZeqTexture*>& list);
bool ZeqWriteGeometryTextureLayer58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry, KZeqLayer& layer,
                                    const std::vector<KZeqTexture*>& list);
// Records of a geometry written by other sections' writers; null until built.
typedef bool (*ZeqWriteGeometryPart)(KZeqWriterZeqBase& writer, KZeqGeometry& geometry);
struct ZeqGeometryWriterHooks {
    ZeqWriteGeometryPart mLinks;   // 5.8 "Link" records
    ZeqWriteGeometryPart mShapes;  // "Shape" records, both layouts
};
extern const ZeqGeometryWriterHooks kZeqGeometryWriterHooks;
bool ZeqWriteTexture58(KZeqWriterZeqBase& writer, KZeqTexture& texture);
bool ZeqWriteMaterial58(KZeqWriterZeqBase& writer, KZeqMaterial& material);
// Fields both layouts write: UV translation and scaling, alpha source, cropping.
void ZeqWriteTextureCommonFields(KZeq& file, KZeqTexture& texture);
bool ZeqFindAnimatedChannels(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqClearAnimatedChannels(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteConnectMaterialsAndTextures(KZeqWriterZeqBase& writer, KZeqScene& scene);
void ZeqListMaterials(KZeqScene& scene, std::vector<KZeqObject*>& objects);
void ZeqListTextures(KZeqScene& scene, std::vector<KZeqObject*>& objects);
bool ZeqWriteMaterialObject(KZeqWriterZeqBase& writer, KZeqObject& object);
bool ZeqWriteTextureObject(KZeqWriterZeqBase& writer, KZeqObject& object);
// Limits, targets, cameras, lights and media.
bool ZeqWriteNodeLimits(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteNodeTarget(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteCameraAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteLightAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteCameraSwitcherAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWriteMediaSection(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqNameMedia(KZeqWriterZeqBase& writer, KZeqScene& scene);
// Within 1e-6 of zero, or of (180, 180, 180) modulo 360: the same orientation
// as zero, which the 5.8 target fields leave out.
bool ZeqIsRotationEquivalentToZero(const KZeqVector4& rotation);
// Steps and object rows of the scene settings, gobos, marker sets, actors and poses.
bool ZeqWriteGlobalSettings(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteSwitcher(KZeqWriterZeqBase& writer, KZeqScene& scene);
// Version 5.8: the writer's own camera-switcher step, which writes nothing.
bool ZeqWrite58CameraSwitcher(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteVersion5Block(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteGobos(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteMarkerSets(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteActors(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWritePoses(KZeqWriterZeqBase& writer, KZeqScene& scene);
void ZeqListPoses(KZeqScene& scene, std::vector<KZeqObject*>& objects);
bool ZeqWritePoseObject(KZeqWriterZeqBase& writer, KZeqObject& object);

// Steps of the front itself.
bool ZeqWriteModels(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWritePassword(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteSceneGenericPersistence(KZeqWriterZeqBase& writer, KZeqScene& scene);

}  // namespace zeqsdk_400

#endif
