#ifndef ZEQ_FORMATS_GEOMETRY_3DS_KZEQREADER3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_KZEQREADER3DS_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/kzeqvector.h"
#include "formats/geometry/3ds/kzeqswitches3ds.h"
#include "formats/geometry/3ds/toolkit/records3dsfwd.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KFCurve;
class KZeqCamera;
class KZeqGobo;
class KZeqLight;
class KZeqMarker;
class KZeqMaterial;
class KZeqMesh;
class KZeqNode;
class KZeqNodeAttribute;
class KZeqScene;
class KZeqTexture;

// Reads a 3D Studio file into a scene through the 3DS toolkit: the toolkit
// reads the file into a chunk database and hands out records (meshes,
// materials, lights, cameras, keyframer motion), which the reader first
// fetches into its tables and then turns into scene objects in a fixed order:
// global colours, materials and textures, one attribute per object, one node
// per keyframer node with the hierarchy, animation, and the take "default
// take". The file is Z-up: a point (x, y, z) becomes (x, z, -y).
//
// A read that fails leaves the scene as it was, and every record and the
// database are released on every path.
class KZeqReader3DS : public KZeqReader, private KZeqSwitches3DS {
public:
    explicit KZeqReader3DS(KZeqSdkManager& manager);
    ~KZeqReader3DS() override;

    // False with "File not opened" when the toolkit cannot open the file; what is
    // no regular file is refused with a text naming the path and what it is.
    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    // A new KStreamOptions3ds with its defaults; the caller releases it.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    bool Read(KZeqScene& scene, KStreamOptions* options) override;

    // The two stages after the records are fetched; public for subclasses
    // that add to the scene.
    virtual bool ImportScene(KZeqScene& scene);
    virtual bool ImportAllObjects();

private:
    struct MeshEntry {
        mesh3ds* mRecord = nullptr;
        KZeqMesh* mMesh = nullptr;
        bool mUsed = false;  // given to a node already: a further instance gets a copy
        float mPivot[3] = {0, 0, 0};  // the first node's pivot, taken out of the mesh's points
    };
    struct MeshNodeEntry {
        kfmesh3ds* mRecord = nullptr;
        KZeqNode* mNode = nullptr;
    };
    struct MaterialEntry {
        material3ds* mRecord = nullptr;
        KZeqMaterial* mMaterial = nullptr;
        KZeqTexture* mTextures[2] = {nullptr, nullptr};
    };
    struct LightEntry {
        light3ds* mRecord = nullptr;
        KZeqLight* mLight = nullptr;
        KZeqMarker* mTarget = nullptr;
    };
    struct OmniNodeEntry {
        kfomni3ds* mRecord = nullptr;
        KZeqNode* mNode = nullptr;
    };
    struct SpotNodeEntry {
        kfspot3ds* mRecord = nullptr;
        KZeqNode* mNode = nullptr;
        KZeqNode* mTarget = nullptr;
    };
    struct CameraEntry {
        camera3ds* mRecord = nullptr;
        KZeqCamera* mCamera = nullptr;
        KZeqMarker* mTarget = nullptr;
    };
    struct CameraNodeEntry {
        kfcamera3ds* mRecord = nullptr;
        KZeqNode* mNode = nullptr;
        KZeqNode* mTarget = nullptr;
    };

    // kzeqreader3ds.cpp
    bool FetchRecords();
    void ApplyOptions(KStreamOptions* options);
    // Releases every record, the mesh set and the database, closes this
    // reader's own file; false when the toolkit reported a failure.
    bool CleanupRead();
    void ReleaseRecords();
    // Ends the attributes this read made that reached no node (an object no
    // keyframer node names): the scene keeps nothing it cannot reach.
    void EndOrphans();
    bool ImportTake(KZeqScene& scene);

    // kzeqreader3ds_materials.cpp
    bool ImportMaterials();
    // The first material record of this name (exact), or -1.
    int FindMaterialEntry(const char* name) const;

    // kzeqreader3ds_mesh.cpp
    bool ConvertMesh(const mesh3ds& record, KZeqMesh& mesh);

    // kzeqreader3ds_nodes.cpp
    void ConvertOmnilight(const light3ds& record, KZeqLight& light);
    void ConvertSpotlight(const light3ds& record, KZeqLight& light);
    void ConvertCamera(const camera3ds& record, KZeqCamera& camera);
    bool Create3DSNodeToKModelLookup();
    KZeqNode* CreateNode(const char* name);
    // The mesh for a node of an object motion record: the record's mesh, or
    // a copy of it when an earlier node took it; the pivot moves its points.
    KZeqMesh* MeshForNode(MeshEntry& entry, const kfmesh3ds& motion);
    bool ImportMeshHierarchy(KZeqScene& scene);
    bool ImportOmnilightHierarchy(KZeqScene& scene);
    bool ImportSpotlightHierarchy(KZeqScene& scene);
    bool ImportCameraHierarchy(KZeqScene& scene);
    bool UniteWithParent(KZeqNode* node, const char* parentName);
    void PlaceNode(KZeqNode* node, const char* parentName);
    void PlaceTarget(KZeqNode* node, KZeqNode* target, const char* parentName, const char* targetParentName);

    // kzeqreader3ds_anim.cpp
    bool ImportMeshAnim();
    bool ImportOmnilightAnim();
    bool ImportSpotlightAnim();
    bool ImportCameraAnim();
    void OpenTake(KZeqNode* node);
    bool CreateTransDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                    const point3ds* values);
    bool CreateRotDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                  const kfrotkey3ds* values);
    bool CreateScaleDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                    const point3ds* values);
    bool CreateColorDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                    const fcolor3ds* values);
    enum EScalarTarget { eCONE_ANGLE, eFIELD_OF_VIEW, eROLL };
    bool CreateScalarDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                     const float* values, EScalarTarget target);
    // Writes a track of 1 or 3 curves from values made by convert(key, out).
    template <class Convert>
    void WriteTrack(KFCurve** curves, int curveCount, std::uint32_t count, const keyheader3ds* keys,
                    Convert convert);
    // The multiplier of the light of this name (of the given kind), 1 when none.
    double LightMultiplier(const std::vector<LightEntry>& lights, const char* name) const;

    file3ds* mFile = nullptr;
    bool mOwnsFile = false;
    // The file's folder, absolute: map names are relative to it.
    KString mFolder;
    database3ds* mDatabase = nullptr;
    meshset3ds* mMeshSet = nullptr;
    double mScaleFactor = 1.0;
    float mAmbient[3] = {0, 0, 0};

    std::vector<MeshEntry> mMeshes;
    std::vector<MeshNodeEntry> mMeshNodes;
    std::vector<MaterialEntry> mMaterialEntries;
    std::vector<LightEntry> mOmnilights;
    std::vector<OmniNodeEntry> mOmniNodes;
    std::vector<LightEntry> mSpotlights;
    std::vector<SpotNodeEntry> mSpotNodes;
    std::vector<CameraEntry> mCameras;
    std::vector<CameraNodeEntry> mCameraNodes;
    // Material name to its entry (the first of that name).
    std::unordered_map<std::string, int> mMaterialLookup;
    // Nodes of this read by name, the first made of each name: parent names
    // resolve among them only, never to nodes of other scenes.
    std::unordered_map<std::string, KZeqNode*> mNodesByName;
    // Attributes and gobos this read made, for the clean-up of a failed read.
    std::vector<KZeqNodeAttribute*> mAttributes;
    std::vector<KZeqGobo*> mGobos;
    KZeqNode* mReferenceNode = nullptr;
    KZeqNode* mTopParent = nullptr;  // where nodes without a parent of the file go
};

}  // namespace zeqsdk_400

#endif
