#ifndef ZEQ_IO_KZEQREADERZEQ_STEPS_H
#define ZEQ_IO_KZEQREADERZEQ_STEPS_H

namespace zeqsdk_400 {

class KString;
class KZeqCharacter;
class KZeqControlSetPlug;
class KZeqGeometry;
class KZeqLink;
class KZeqShape;
class KZeqNode;
class KZeqNodeAttribute;
class KZeqReaderZeq;
class KZeqScene;
class KZeqSdkManager;

// The scene read, step by step. Each section's reader lives in its own
// source file and is named in its row of kZeqReadSteps; a row without a
// reader reads nothing (and succeeds).
typedef bool (*ZeqReadSection)(KZeqReaderZeq& reader, KZeqScene& scene);

enum EZeqLayout { eZeqAnyLayout, eZeqVersion6Layout, eZeqBeforeVersion6Layout };

enum EZeqReadStepFlags {
    eZeqEndsReadOnFailure = 1,
    // Runs right after a failed step; the failure then ends the read.
    eZeqRunsAfterFailure = 2,
    // Only with option 6 on and at least one take in the options.
    eZeqNeedsTakes = 4
};

struct ZeqReadStep {
    const char* mWhat;
    EZeqLayout mLayout;
    int mOption;  // the option that switches the step, -1 when always
    int mFlags;
    ZeqReadSection mRead;
};

extern const ZeqReadStep kZeqReadSteps[];
extern const int kZeqReadStepCount;

// Readers the shared steps call inside their sections; null until built.
struct ZeqReaderHooks {
    ZeqReadSection mGlobalLightSettings;
    ZeqReadSection mGlobalTimeSettings;           // inside "Version5"
    ZeqReadSection mGlobalCameraAndTimeSettings;  // top level, before version 6
    ZeqReadSection mPoses;
    // The character-pose reader answers 1 when it read the pose records.
    int (*mCharacterPoses)(KZeqReaderZeq& reader, KZeqScene& scene);
};
extern const ZeqReaderHooks kZeqReaderHooks;

// Object kinds of a version-6 "Objects" section, compared in row order: the
// first row whose type matches, and whose subtype matches when it names one,
// creates, reads, adds and registers the object. A row without reader skips
// its objects (the kind is still to be built); so do kinds of no row.
typedef bool (*ZeqReadObjectKind)(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype,
                                  const KString& name);
struct ZeqObjectKind {
    const char* mType;
    const char* mSubtype;  // null: any
    ZeqReadObjectKind mRead;
};
extern const ZeqObjectKind kZeqObjectKinds[];
extern const int kZeqObjectKindCount;

// Node attributes by the "Type" value of a model block, compared exactly in
// row order; the row without type is a block without "Type" (a mesh). The
// attribute is made with its set-up, then read and attached in the row's
// order. A row without field reader reads nothing of the block.
typedef bool (*ZeqReadAttributeFields)(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
struct ZeqAttributeKind {
    const char* mType;
    KZeqNodeAttribute* (*mCreate)(KZeqSdkManager& manager, int setUp);
    int mSetUp;  // the marker or skeleton type
    ZeqReadAttributeFields mRead;
    bool mAttachFirst;
};
extern const ZeqAttributeKind kZeqAttributeKinds[];
extern const int kZeqAttributeKindCount;

// Parts of the node record read by other sections' readers; null until built.
typedef bool (*ZeqReadNodePart)(KZeqReaderZeq& reader, KZeqNode& node);
struct ZeqNodeRecordHooks {
    ZeqReadNodePart mTargets;  // look-at and up-vector names
    ZeqReadNodePart mLimits;   // "Limits", before version 6
    ZeqReadNodePart mPivots;   // "Pivots", before version 6 with option 9
};
extern const ZeqNodeRecordHooks kZeqNodeRecordHooks;

// Records a geometry's record reads through other sections' readers; null until built.
struct ZeqGeometryHooks {
    bool (*mLink)(KZeqReaderZeq& reader, KZeqLink& link);
    bool (*mShape)(KZeqReaderZeq& reader, KZeqShape& shape, KZeqGeometry& geometry);
};
extern const ZeqGeometryHooks kZeqGeometryHooks;

// Steps of the sections.
bool ZeqReadDefinitions(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadObjects(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadModels(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadHierarchy(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadCameraBackgrounds(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadConnections(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadPlaceModelsOutsideTheScene(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadTakes(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadPostProcessing(KZeqReaderZeq& reader, KZeqScene& scene);
// Object kinds and attribute set-ups of this file's sections.
bool ZeqReadModelObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name);
bool ZeqReadGenericNodeObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name);
bool ZeqReadControlSetPlugObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype,
                                 const KString& name);
KZeqNodeAttribute* ZeqCreateNull(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreateMarker(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreateSkeleton(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreateMesh(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreateNurb(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreatePatch(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreateLight(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreateCamera(KZeqSdkManager& manager, int setUp);
KZeqNodeAttribute* ZeqCreateOpticalReference(KZeqSdkManager& manager, int setUp);
bool ZeqReadNullFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
bool ZeqReadMarkerFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
bool ZeqReadSkeletonFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);

// Characters, character poses and control sets (kzeqreaderzeq_character.cpp).
bool ZeqReadCharacters(KZeqReaderZeq& reader, KZeqScene& scene);
int ZeqReadCharacterPoses(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadCharacterObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name);
bool ZeqReadCharacterPoseObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype,
                                const KString& name);
bool ZeqReadControlSetsFromPlugs(KZeqReaderZeq& reader, KZeqScene& scene);
// The plug connected to the character's "ControlSet" list, null when none.
KZeqControlSetPlug* ZeqFindControlSetPlug(KZeqCharacter& character);
bool ZeqReadMeshFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
bool ZeqReadTextureObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name);
bool ZeqReadMaterialObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name);
bool ZeqReadDuplicates(KZeqReaderZeq& reader, KZeqScene& scene);
// Version 6, once the layers are rebuilt: indices bound, then duplicates merged.
bool ZeqReadMaterialAndTextureEnd(KZeqReaderZeq& reader, KZeqScene& scene);
// Material and texture indices outside their direct array become -1.
void ZeqBoundMaterialAndTextureIndices(KZeqGeometry& geometry);
// Limits, targets, pivots, cameras, lights and media.
bool ZeqReadNodeTarget(KZeqReaderZeq& reader, KZeqNode& node);
bool ZeqReadNodeLimits(KZeqReaderZeq& reader, KZeqNode& node);
bool ZeqReadNodePivots(KZeqReaderZeq& reader, KZeqNode& node);
bool ZeqReadCameraFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
bool ZeqReadLightFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
bool ZeqReadMedia(KZeqReaderZeq& reader, KZeqScene& scene);
// Steps and object kinds of the scene settings, gobos, marker sets, actors and poses.
bool ZeqReadCameraSwitcher(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReorderCameraSwitcherIndices(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadGlobalLightSettings(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadGlobalCameraAndTimeSettings(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadGlobalTimeSettings(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadGobos(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadMarkerSets(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadActors(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadPoses(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadPoseObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name);

// Only regular files are opened as take files.
bool ZeqIsRegularFile(const char* path);

// Steps of the front itself.
bool ZeqReadRewindMainSection(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadRegisterSceneRoot(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadSceneGenericPersistence(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadVersion5Block(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadTopLevelGlobalSettings(KZeqReaderZeq& reader, KZeqScene& scene);

}  // namespace zeqsdk_400

#endif
