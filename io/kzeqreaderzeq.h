#ifndef ZEQ_IO_KZEQREADERZEQ_H
#define ZEQ_IO_KZEQREADERZEQ_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/karray.h"
#include "base/kset.h"
#include "base/kstring.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class IZeqObject;
class KFCurveNode;
class KObject;
class KSet;
class KZeq;
class KStreamOptionsZeq;
class KZeqActor;
class KZeqCharacter;
class KZeqCharacterPose;
class KZeqControlSet;
class KZeqFilterSet;
class KZeqGenericNode;
class KZeqGeometry;
class KZeqMaterial;
class KZeqMesh;
class KZeqGobo;
class KZeqMarkerSet;
class KZeqPose;
class KZeqImporter;
class KZeqCamera;
class KZeqLight;
class KZeqMarker;
class KZeqNode;
class KZeqNull;
class KZeqObject;
class KZeqSceneInfo;
class KZeqTakeInfo;
class KZeqTakeNodeContainer;
class KZeqTakeNode;
class KZeqDeformer;
class KZeqGeometry;
class KZeqLink;
class KZeqNurb;
class KZeqPatch;
class KZeqShape;
class KZeqTexture;
class KZeqThumbnail;

// One object type named by a version-6 file's "Definitions".
struct ObjectTypeInfo {
    KString mTypeName;
};
typedef std::vector<std::unique_ptr<ObjectTypeInfo>> ObjectTypeList;

// Reads Zeq scene files of every version up to 6, ASCII, binary or encrypted.
// This file's part: the reader object, open and close, version and encoding,
// the read options (from the "Summary" extension section, else gathered from
// the main section and then written back as a "Summary" where the file can
// take one), the scene read driver and the utilities the section readers
// share. The sections themselves are read by the steps of the read table
// (kzeqreaderzeq_steps.cpp).
class KZeqReaderZeq : public KZeqReader {
public:
    KZeqReaderZeq(KZeqSdkManager& manager, KZeqImporter& importer);
    // Closes the file.
    ~KZeqReaderZeq() override;

    // Refuses as corrupted, naming the record, a file with a record of the main section in a
    // section after it (a stray section line between the scene's records).
    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override;
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    bool Read(KZeqScene& scene, KStreamOptions* options) override;
    // With an object stream, reads from it in place of the reader's own file.
    virtual KStreamOptions* GetReadOptions(IZeqObject* object, bool parseFile);
    virtual bool Read(KZeqScene& scene, KStreamOptions* options, IZeqObject* object);
    // Rewrites the file's "Summary" with the caller's scene information and
    // takes (as many as both lists hold); true when it was rewritten.
    virtual bool UpdateImportOptions(KStreamOptions* options);

    // 2 encrypted, 1 binary, 0 ASCII.
    int GetImportMode() const;
    // The version of the file's first section: 5800 gives 5, 8, 0.
    void GetVersion(int& major, int& minor, int& revision) const;
    // The header's render resolution, when it names one.
    bool GetDefaultRenderResolution(KString& camera, KString& mode, double& width, double& height) const;

    // Fixes the layout of the open file: 5.8.0 is version 6 exactly when its
    // main section holds "Definitions"; otherwise up to 5.7 is before 6.
    void SetIsBeforeVersion6WithMainSection(bool openMainSection);

    // ---- Records and utilities shared by the section readers ----------------------------------
    KZeqThumbnail* ReadThumbnail();
    bool WriteThumbnail(KZeqThumbnail* thumbnail);
    KZeqSceneInfo* ReadSceneInfo();
    void WriteSceneInfo(KZeqSceneInfo* info);
    // "Model::Producer Top" becomes "Producer Top"; other names stay.
    static KString ConvertCameraName(const char* name);
    // A line of the message the importer passes on (emptied as a read starts):
    // what the read set aside or left out, and why.
    void AddMessageLine(const KString& line);
    // That line for a model whose name an earlier model of the file holds: a scene holds one
    // model of a name, the first.
    void AddModelDefinedAgain(const KZeqNode& node);
    // That line for a look-at (or, with up, up-vector) target the file names but does not
    // define: the node is read without it.
    void AddTargetNotDefined(const KZeqNode& node, bool up, const KString& target);
    // Index of the first exact match, -1 when none.
    static int FindString(const KString& text, const KArrayTemplate<KString*>& list);
    // The first of the two names (made full paths against the file's
    // directory) that exists; else the first given one's full path.
    KString FindFile(const char* first, const char* second);
    // True when the open section may be read with the password.
    bool ReadPassword(const char* password);
    void ReadSceneGenericPersistenceSection(KZeqScene& scene);
    // With option 7 on, the character-pose reader's result; else false.
    bool ReadPoses(KZeqScene& scene);

    // ---- Objects and models (kzeqreaderzeq_objects.cpp) ---------------------------------------
    // The type names of "Definitions", each once; nothing before version 6.
    bool ReadDefinitionSection(KZeqScene& scene, ObjectTypeList& types);
    // Index of the exact name, -1 when absent.
    static int FindTypeIndex(const KString& name, const ObjectTypeList& types);
    // "Objects", type by type in list order; objects of unlisted types are not read.
    bool ReadObjectSection(KZeqScene& scene, ObjectTypeList& types);
    // One object of a kind of kZeqObjectKinds; unknown kinds are skipped.
    bool ReadObject(KZeqScene& scene, const KString& type, const KString& subtype, const KString& name);
    // The top-level "Model" records of a file before version 6.
    bool ReadNode();
    // The node read under that full name ("Model::" included), null when none.
    KZeqNode* FindNode(const char* name) const;
    // Enters a node just read in the node-name table.
    void AddNodeName(KZeqNode& node);
    // Registers the object under the name for the connections; false when
    // the name is taken.
    bool RegisterObject(const char* name, KObject* object);
    // Registers the scene root under the name the connections give it (ZeqSceneRootName).
    void RegisterSceneRoot(KZeqScene& scene);
    // "Connect" records: "OO" and "OP" are made, other kinds skipped. A model
    // keeps the first parent a record gives it: a later one is set aside, and
    // the message says so. When a model holds "Model::Scene" and no record
    // names the root's other name, the file is another program's: there
    // "Model::Scene" is the root, and the model is reached by no connection.
    bool ReadConnectionSection(KZeqScene& scene);
    // Version 6, once connected: every model of the file no path joins to the
    // root (in a cycle, under itself, under nothing) goes under the root with
    // what is below it, in file order, and the message names it (the first
    // kMaxModelsNamed; one more line counts the rest). A model defined again
    // stays out, named already.
    bool PlaceModelsOutsideTheScene(KZeqScene& scene);
    static constexpr int kMaxModelsNamed = 100;

    // ---- Node record (kzeqreaderzeq_node.cpp) ---------------------------------------------------
    // The body of the current "Model" block.
    bool ReadKZeqNode(KZeqNode& node);
    bool ReadKZeqGenericNode(KZeqGenericNode& node);
    // The attribute the "Type" field names (none: a mesh), created, read and
    // attached; a NURBS surface left out goes into the message with the node.
    bool ReadKZeqNodeAttribute(KZeqNode& node);
    // "Channel" records into the default take.
    bool ReadKZeqNodeDefaultAttributes(KZeqNode& node);
    bool ReadKZeqNull(KZeqNull& null);
    bool ReadKZeqMarker(KZeqMarker& marker);
    // Version 6: the property block of the node and its attribute.
    bool ReadKZeqNodeProperties(KZeqNode& node);
    // Before version 6: the "UserProperty" blocks.
    bool ReadUserProperties(KZeqNode& node);
    // Every property of the object's handler gets a user property.
    bool PublishKZeqProperties(KZeqObject& object);
    // Version 6: the property block of an object whose default take the file
    // holds no channels of; the channels take the block's values.
    bool ReadPropertyBlock(KZeqTakeNodeContainer& object);
    // Before version 6: user-property defaults from the current take's channels.
    bool UpdatePropertiesDefaultValues(KZeqNode& node);
    // Before version 6, for a node with a user property named with its type:
    // the names of the channels in the file's current block (mRecordChannels).
    void ListRecordChannels(KZeq& file, KZeqNode& node);
    // Before version 6: a user property named with its type whose whole name
    // no channel of the record bears takes over the channel stored under the
    // name without it (keys, default, layers), which then goes.
    void TakeStoredChannels(KZeqNode& node, KZeqTakeNode* take);
    // "Channel" records of the file's current block into node's channels, until none is left.
    bool ReadAnimation(KZeq& file, KFCurveNode* node);

    // ---- Hierarchy and references (kzeqreaderzeq_hierarchy.cpp) -----------------------------------
    // Before version 6: children, skin links (option 3), targets and up nodes.
    bool ReadHierarchy(KZeqNode& root);
    // Parents from child names; a link that would make a node its own
    // ancestor is skipped; nodes left without parent go under the root.
    bool ResolveHierarchy(KZeqNode& root);
    bool ResolveLinks(KZeqNode& root, KZeqNode& node);
    bool ResolveTargets(KZeqNode& root);
    bool ResolveUpNodes(KZeqNode& root);
    bool ResolveCameraBackgrounds(KZeqScene& scene);

    // ---- Takes and time warps (kzeqreaderzeq_takes.cpp) -------------------------------------------
    // The selected takes of "Takes"; false when one of them failed.
    bool ReadAnimation(KZeqScene& scene);
    // One take, from its take file or inline, then time-shifted.
    bool ReadTakeAnimation(KZeqScene& scene, KZeqTakeInfo* take);
    // The take-node records of the current block of file.
    bool ReadNodeAnimation(KZeq& file, KZeqScene& scene, KZeqTakeInfo* take);
    // The import offset; a take without keys is not shifted.
    bool TimeShiftNodeAnimation(KZeqScene& scene, KZeqTakeInfo* take);
    // "TimeWarps" of the current block into set (number to curve node); false without one.
    bool ReadTimeWarps(KZeq& file, KSet& set);
    // Bakes layers and time warps into plain curves.
    void MergeLayerAndTimeWarp(KFCurveNode* node, KFCurveNode* timeWarp);
    void MergeTimeWarpWithLayer(KFCurveNode* node, KFCurveNode* timeWarp);
    void MergeTimeWarpWithoutLayer(KFCurveNode* node, KFCurveNode* timeWarp);

    // ---- Characters, control sets, character poses (kzeqreaderzeq_character.cpp) -----------------
    // Before version 6: every "CHARACTER" record into a new character, the
    // inputs resolved once all are read. Nothing from a version-6 file.
    bool ReadCharacter(KZeqScene& scene);
    // One record body; the input index read (before version 6) goes to inputIndex.
    bool ReadKZeqCharacter(KZeqCharacter& character, int& inputIndex);
    bool ReadKZeqCharacterLink(KZeqCharacter& character, int id);
    // By names (searched through the groups up to the current one) when the
    // first "LINK" has one, else by position.
    bool ReadKZeqCharacterLinkGroup(KZeqCharacter& character, int group);
    bool ReadKZeqFilterSet(KZeqFilterSet& filterSet);
    bool ReadKZeqControlSet(KZeqControlSet& controlSet);
    bool ReadKZeqControlSetLinkGroup(KZeqControlSet& controlSet, int group);
    bool ReadKZeqControlSetLink(KZeqControlSet& controlSet, int id);
    bool ReadKZeqEffector(KZeqControlSet& controlSet);
    bool ReadKZeqEffectorAux(KZeqControlSet& controlSet);
    // The "Pose" records of the current block: character poses are read; true
    // when no bind or rest pose was met (those are left to the pose reader).
    bool ReadCharacterPose(KZeqScene& scene);
    // The scene nested in the current block, into the pose's scene.
    bool ReadKZeqCharacterPose(KZeqCharacterPose& pose);
    // ---- Geometry, meshes, materials and textures (kzeqreaderzeq_geometry.cpp,
    // kzeqreaderzeq_material.cpp) --------------------------------------------------------------------
    // The mesh record of either layout; never fails. Once read, a polygon
    // naming a control point the mesh lacks is left out and other indices
    // outside their direct array become -1.
    bool ReadKZeqMesh(KZeqMesh& mesh);
    bool ReadKZeqMeshVertices(KZeqMesh& mesh);
    bool ReadKZeqMeshPolygonIndex(KZeqMesh& mesh);
    bool ReadKZeqMeshNormals(KZeqMesh& mesh);
    bool ReadKZeqMeshPolyGroupIndex(KZeqMesh& mesh);
    // False when the colours do not fit the mesh (then emptied).
    bool ReadKZeqMeshVertexColors(KZeqMesh& mesh);
    bool ReadKZeqMeshAssignation(KZeqMesh& mesh);
    bool ReadKZeqMeshMaterialsID(KZeqMesh& mesh);
    bool ReadKZeqMeshTexturesID(KZeqMesh& mesh);
    bool ReadKZeqMeshParameters(KZeqMesh& mesh);
    bool ReadKZeqMeshTextureType(KZeqMesh& mesh);
    bool ReadKZeqMeshTextureUV(KZeqMesh& mesh);
    bool ReadKZeqMeshTextureIndex(KZeqMesh& mesh);
    // Older files: texture layers get the textures their indices name, from
    // the texture list, as far as it reaches.
    bool CorrectTextureLayers(KZeqMesh& mesh);
    bool CheckMeshIndices(KZeqMesh& mesh);
    // Version 6: the element records and "Layer" records; elements no layer
    // takes, and those a later one replaces, are freed.
    bool ReadLayerElements(KZeqGeometry& geometry);
    // Before version 6: materials (option 1), textures (2, into the texture
    // list), links (3), shapes (4), then the texture layers.
    bool ReadKZeqGeometry(KZeqGeometry& geometry);
    bool ReadKZeqGeometryMaterial(KZeqGeometry& geometry);
    bool ReadKZeqGeometryTexture(KZeqGeometry& geometry);
    bool ReadKZeqGeometryLinks(KZeqGeometry& geometry);
    bool ReadKZeqGeometryShapes(KZeqGeometry& geometry);
    // False when a texture layer failed; the record is read all the same.
    bool ReadKZeqGeometryLayer(KZeqGeometry& geometry);
    bool ReadKZeqGeometryTextureLayer(KZeqGeometry& geometry, int layer);
    bool GenerateParametricGeometryLayer(KZeqGeometry& geometry);
    // The record of either layout; never fails.
    bool ReadKZeqTexture(KZeqTexture& texture);
    bool ReadKZeqMaterial(KZeqMaterial& material);
    // Equal textures (materials) of the scene become the first of them.
    void RemoveDuplicateTextures(KZeqScene& scene);
    void RemoveDuplicateMaterials(KZeqScene& scene);
    // ---- Limits, targets and pivots (kzeqreaderzeq_limits.cpp) --------------------------------------
    // The "Limits" block into the node's limits (pivot set 0's pre- and post-rotation included).
    bool ReadKZeqNodeLimits(KZeqNode& node);
    // Look-at and up-vector names into the target tables; the post-target
    // rotation and up vector always (zero when absent).
    bool ReadKZeqNodeTarget(KZeqNode& node);
    // The "Pivots" block into both pivot sets.
    bool ReadKZeqNodePivots(KZeqNode& node);
    // ---- Camera and light records (kzeqreaderzeq_camera.cpp) ---------------------------------------
    bool ReadKZeqCamera(KZeqCamera& camera);
    bool ReadKZeqLight(KZeqLight& light);
    // ---- Media (kzeqreaderzeq_media.cpp) -------------------------------------------------------------
    // The "Media" section; textures and camera backgrounds whose media name
    // it maps get the file. A missing section changes nothing.
    bool ReadMedia(KZeqScene& scene);
    // One clip record: the usable file (extracted when embedded), "" when none.
    KString ReadMediaClip();
    // Textures made by a version-6 read, resolved by "Media" before the
    // connections put them into the scene.
    void AddTextureRead(KZeqTexture& texture);
    // ---- Surfaces, skin links, deformers and shapes (kzeqreaderzeq_surfaces.cpp, _skin.cpp) -------
    // False when a check failed (each with its own error number and text);
    // the rest of the record is read all the same. A surface whose counts
    // contradict its values (checks 1 and 3 to 6) is left without control
    // points, knots or multiplicities.
    bool ReadKZeqNurb(KZeqNurb& nurb);
    bool ReadKZeqPatch(KZeqPatch& patch);
    // The patch type of the open field's next string, any letter case.
    int ReadKZeqPatchType(KZeqPatch& patch);
    // The open "Link" field; always true.
    bool ReadKZeqLink(KZeqLink& link);
    // The current block of a "Deformer" object; always true.
    bool ReadKZeqDeformer(KZeqDeformer& deformer);
    // The open "Shape" field, as offsets on the geometry's points; always true.
    bool ReadKZeqShape(KZeqShape& shape, KZeqGeometry& geometry);
    // Drops the pairs whose index is no control point of a geometry of that count.
    static void DropLinkIndicesOutside(KZeqLink& link, int controlPointCount);
    // ---- Scene settings (kzeqreaderzeq_settings.cpp) ---------------------------------------------
    // "Switcher": the switcher's camera names and default index.
    bool ReadCameraSwitcher(KZeqScene& scene);
    // Camera indices from positions in the name list to positions among the
    // scene's camera nodes; values naming no listed camera with a node stay.
    bool ReorderCameraSwitcherIndices(KZeqScene& scene);
    // Defaults first, then ambient colour, fog and shadow planes.
    bool ReadGlobalLightSettings(KZeqScene& scene);
    bool ReadAmbientColor(KZeqScene& scene);
    bool ReadFogOption(KZeqScene& scene);
    bool ReadShadowPlane(KZeqScene& scene);
    // Before version 6: "RendererSetting" and "Settings" with the producer cameras.
    bool ReadGlobalCameraAndTimeSettings(KZeqScene& scene);
    // Version 6: the time fields of "Settings".
    bool ReadGlobalTimeSettings(KZeqScene& scene);

    // ---- Gobos, marker sets, actors and poses (kzeqreaderzeq_actors.cpp) ----------------------
    bool ReadGobo(KZeqScene& scene);
    // Gobos no light takes are destroyed.
    bool ReadGoboSection(KZeqScene& scene);
    bool ReadKZeqGobo(KZeqGobo& gobo);
    bool ReadMarkerSet(KZeqScene& scene);
    bool ReadKZeqMarkerSet(KZeqMarkerSet& set);
    // Actors get their input marker sets once all are read.
    bool ReadActor(KZeqScene& scene);
    bool ReadKZeqActor(KZeqActor& actor, int& markerSetIndex);
    // The "Pose" fields of the current block.
    bool ReadPose(KZeqScene& scene);
    // The entries of the current block into pose (none: read and dropped);
    // entries the pose refuses are dropped.
    bool ReadKZeqPose(KZeqPose* pose, bool bindPose);

    // ---- State of the read in progress ---------------------------------------------------------
    // The stream being read: the reader's own file or a nested object stream.
    IZeqObject* GetZeqObject() const { return mFile; }
    KStreamOptionsZeq* GetStreamOptions() const { return mOptions; }
    KZeqSdkManager& GetSdkManager() const { return mManager; }
    KZeqImporter& GetImporter() const { return mImporter; }
    // Filled while records are read, resolved once all objects exist.
    KCharPtrSet& GetNodeNameSet() { return mNodeNames; }
    KCharPtrSet& GetTargetSet() { return mTargets; }
    KCharPtrSet& GetUpNodeSet() { return mUpNodes; }
    KCharPtrSet& GetCameraBackgroundSet() { return mCameraBackgrounds; }
    KArrayTemplate<KZeqTexture*>& GetTextureList() { return mTextures; }
    ObjectTypeList& GetObjectTypes() { return mObjectTypes; }

private:
    bool ReadOptionsInExtensionSection(int& sectionIndex);
    bool WriteOptionsInExtensionSection(bool overwriteLast);
    void ReadOptionsInMainSection();
    void ReadOptionsInGenericSection();
    void ReadTakeOptions();
    // The takes of the main section into the options, quietly left as they are when it shows none.
    void ReadTakeOptionsInMainSection();
    void ReadTakeDetails(KZeqTakeInfo& take);
    // The steps of the read table, in order, on a read not failed so far.
    bool ReadSections(KZeqScene& scene);
    // The index of the nodes below root (each name's first in depth-first
    // order, as a recursive FindChild finds it) and a look-up in it, so that
    // records naming nodes need no walk each.
    void IndexNodesBelow(KZeqNode& root);
    KZeqNode* FindIndexedNode(const char* name) const;
    // One take-node record of the current field: its channels into the
    // object's take node of the take's import name. Kind 'M' a model, 'S' the
    // switcher, 'G' a generic node, 'T' a texture, 'A' a material.
    void ReadTakeNodeRecord(KZeq& file, KZeqTakeNodeContainer& object, KZeqTakeInfo& take, char kind);

    KZeqImporter& mImporter;
    IZeqObject* mFile = nullptr;  // the owned file, or a borrowed stream during a nested call
    std::unique_ptr<IZeqObject> mOwnedFile;
    KStreamOptionsZeq* mOptions = nullptr;
    KCharPtrSet mNodeNames;
    std::vector<KZeqNode*> mNodesRead;  // in file order
    std::vector<KZeqTexture*> mTexturesRead;
    KCharPtrSet mTargets;
    KCharPtrSet mUpNodes;
    KCharPtrSet mCameraBackgrounds;
    bool mRenderResolution = false;
    KString mRenderCamera;
    KString mRenderMode;
    double mRenderWidth = 0.0;
    double mRenderHeight = 0.0;
    KArrayTemplate<KZeqTexture*> mTextures;
    std::vector<int> mPolygonGroups;  // before version 6, while a mesh is read
    // Before version 6, while a node with user properties named with their
    // type is read: the names of the channels its record holds.
    std::vector<KString> mRecordChannels;
    ObjectTypeList mObjectTypes;
    std::unordered_map<std::string, KZeqNode*> mNodeIndex;
    // Version 6: the name the connections give the scene root, and the parent
    // each model's connection named when it was set aside as closing a cycle.
    KString mSceneRootName;
    std::unordered_map<const KZeqNode*, KString> mCycleParents;
    // Version 6: the first parent each model's connections named that the file does not define.
    std::unordered_map<const KZeqNode*, KString> mUndefinedParents;
    // Whether the file being read predates version 6, for the take files too.
    bool mBefore6 = false;
    // A take file read during this read was damaged (mError says so).
    bool mDamagedTakeFile = false;
    // Objects of the take being read whose bake was left to their keys (the first one named).
    int mCutBakes = 0;
    KString mFirstCutBake;
    // Why the file refused a "Summary" written back while its options were read: said in the
    // next read's message, once.
    KString mWriteBackRefusal;
};

// Layer-element words of the files: exact and case-sensitive, anything else 0.
int ConvertMappingModeToken(const char* token);    // "ByVertice" 1 ... "AllSame" 4
int ConvertReferenceModeToken(const char* token);  // "Index" 1, "IndexToDirect" 2
int ConvertBlendModeToken(const char* token);      // "Add" 1 ... "MaxBlend" 4

}  // namespace zeqsdk_400

#endif
