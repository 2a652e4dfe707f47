// The 3DS reader: options, fetching the toolkit's records, the order of the
// scene import, the take, and the clean-up on every path.
//
// A 3DS file is a tree of little-endian chunks, each a 16-bit tag and a 32-bit
// length counting its 6-byte header, its data and its sub-chunks:
//   0x4D4D file
//     0x3D3D mesh section: 0x0100 master scale, 0x2100 ambient light, 0x1200
//            solid background, 0xAFFF materials, 0x4000 named objects (0x4100
//            triangle mesh, 0x4600 light with 0x4610 spot part, 0x4700 camera)
//     0xB000 keyframer: 0xB00A settings, 0xB002 object nodes, 0xB003/0xB004
//            camera and target nodes, 0xB005 omnilight nodes, 0xB006/0xB007
//            spotlight target and spotlight nodes, each with its tracks
// The toolkit parses all of it; this reader only sees its records.

#include "formats/geometry/3ds/kzeqreader3ds.h"

#include <limits>

#include "base/ktime.h"
#include "content/kzeqcamera.h"
#include "content/kzeqglobalcamerasettings.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqmesh.h"
#include "fileio/kpath.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "io/kstreamoptions3ds.h"
#include "io/kzeqscenerollback.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

namespace {

constexpr const char* kTakeName = "default take";

// The scene's global colours a read changes, kept to put back after a failure.
struct SavedColours {
    explicit SavedColours(KZeqScene& scene) : mScene(scene) {
        mAmbient = scene.GetGlobalLightSettings()->GetAmbientColor();
        KZeqGlobalCameraSettings* cameras = scene.GetGlobalCameraSettings();
        for (int i = 0; i < 7; ++i)
            if (KZeqCamera* camera = Producer(cameras, i)) mBackground[i] = camera->GetDefaultBackgroundColor();
    }
    void Restore() {
        mScene.GetGlobalLightSettings()->SetAmbientColor(mAmbient);
        KZeqGlobalCameraSettings* cameras = mScene.GetGlobalCameraSettings();
        for (int i = 0; i < 7; ++i)
            if (KZeqCamera* camera = Producer(cameras, i)) camera->SetDefaultBackgroundColor(mBackground[i]);
    }
    // Back, bottom, front, left, perspective, right, top: the order the colour is given in.
    static KZeqCamera* Producer(KZeqGlobalCameraSettings* cameras, int i) {
        if (!cameras) return nullptr;
        switch (i) {
            case 0: return cameras->GetCameraProducerBack();
            case 1: return cameras->GetCameraProducerBottom();
            case 2: return cameras->GetCameraProducerFront();
            case 3: return cameras->GetCameraProducerLeft();
            case 4: return cameras->GetCameraProducerPerspective();
            case 5: return cameras->GetCameraProducerRight();
            default: return cameras->GetCameraProducerTop();
        }
    }
    KZeqScene& mScene;
    KZeqColor mAmbient;
    KZeqColor mBackground[7];
};

// Blank motion records for objects the keyframer does not list: one per
// object, named after it, without keys.
template <class Entry, class Object, class Init>
bool BlankMotions(std::vector<Entry>& nodes, const std::vector<Object>& objects, Init init) {
    nodes.resize(objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        init(&nodes[i].mRecord);
        if (Stop3ds() || !nodes[i].mRecord) return false;
        CopyName3ds(nodes[i].mRecord->name, sizeof(nodes[i].mRecord->name), objects[i].mRecord->name);
    }
    return true;
}

// count records fetched by index into a table.
template <class Entry, class Get>
bool FetchTable(std::vector<Entry>& table, std::uint32_t count, Get get) {
    if (Stop3ds()) return false;
    table.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        get(i, &table[i].mRecord);
        if (Stop3ds() || !table[i].mRecord) return false;
    }
    return true;
}

}  // namespace

KZeqReader3DS::KZeqReader3DS(KZeqSdkManager& manager) : KZeqReader(manager) {}

KZeqReader3DS::~KZeqReader3DS() {
    ReleaseRecords();
    KZeqReader3DS::FileClose();
}

bool KZeqReader3DS::FileOpen(const char* fileName) {
    FileClose();
    if (!fileName) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    ClearErrList3ds();
    // The toolkit hands out one context per name: a file another user holds
    // open already is read through theirs, and left open for them.
    mOwnsFile = GetContextByName3ds(fileName) == nullptr;
    mFile = OpenFile3ds(fileName, "rb");
    if (!mFile) {
        ClearErrList3ds();
        return FailFileNotOpened(fileName);
    }
    mFolder = ExtractDirectoryFromFilePath(KResolvePath(KGetCurrentDirectory().Buffer(), fileName).Buffer());
    return true;
}

bool KZeqReader3DS::FileClose() {
    if (mFile && mOwnsFile) CloseFile3ds(mFile);
    mFile = nullptr;
    return true;
}

KStreamOptions* KZeqReader3DS::GetReadOptions(bool) {
    KStreamOptions3ds* options = KStreamOptions3dsCreate();
    options->Reset();
    return options;
}

void KZeqReader3DS::ApplyOptions(KStreamOptions* options) {
    if (!TakeSwitches(options)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return;
    }
    static_cast<KStreamOptions3ds*>(options)->SetTakeName(kTakeName);
}

bool KZeqReader3DS::Read(KZeqScene& scene, KStreamOptions* options) {
    if (!mFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    // An earlier failure, this reader's or another toolkit user's, must not fail this read.
    ClearErrList3ds();
    ReleaseRecords();
    ApplyOptions(options);
    mScaleFactor = mRescale ? 2.54 : 1.0;

    SavedColours colours(scene);
    KZeqSceneRollback rollback(mManager, &scene);
    bool read = FetchRecords() && ImportScene(scene);
    // Attributes that reached no node first: the rollback ends the others with their nodes.
    EndOrphans();
    if (!read) {
        rollback.Undo();
        for (KZeqGobo* gobo : mGobos) mManager.DestroyKZeqGobo(gobo);
        colours.Restore();
    }
    // Whatever happened above, the records, database and file go.
    const bool cleaned = CleanupRead();
    if (read && !cleaned) {
        // Nothing stays of a read whose clean-up failed either: its data may be incomplete.
        rollback.Undo();
        colours.Restore();
        read = false;
    }
    if (!read)
        mError.SetLastErrorID(eFileCorrupted);
    else
        ClearErrList3ds();
    mAttributes.clear();
    mGobos.clear();
    mNodesByName.clear();
    mReferenceNode = nullptr;
    return read;
}

bool KZeqReader3DS::FetchRecords() {
    InitDatabase3ds(&mDatabase);
    if (Stop3ds() || !mDatabase) return false;
    CreateDatabase3ds(mFile, mDatabase);
    if (Stop3ds()) return false;
    // The toolkit keeps a file of any other kind as a bare top chunk: no 3DS file.
    if (GetDatabaseType3ds(mDatabase) == 0) return false;
    InitMeshSet3ds(&mMeshSet);
    if (Stop3ds() || !mMeshSet) return false;
    GetMeshSet3ds(mDatabase, &mMeshSet);
    if (Stop3ds()) return false;
    if (mMeshSet->masterscale > 0.0f) mScaleFactor *= static_cast<double>(mMeshSet->masterscale);
    mAmbient[0] = mMeshSet->ambientlight.r;
    mAmbient[1] = mMeshSet->ambientlight.g;
    mAmbient[2] = mMeshSet->ambientlight.b;

    database3ds* db = mDatabase;
    if (!FetchTable(mMeshes, GetMeshCount3ds(db),
                    [db](std::uint32_t i, mesh3ds** r) { GetMeshByIndex3ds(db, static_cast<std::int32_t>(i), r); }))
        return false;
    if (mLights) {
        if (!FetchTable(mOmnilights, GetOmnilightCount3ds(db),
                        [db](std::uint32_t i, light3ds** r) { GetOmnilightByIndex3ds(db, i, r); }) ||
            !FetchTable(mSpotlights, GetSpotlightCount3ds(db),
                        [db](std::uint32_t i, light3ds** r) { GetSpotlightByIndex3ds(db, i, r); }))
            return false;
    }
    if (mCamera && !FetchTable(mCameras, GetCameraCount3ds(db),
                               [db](std::uint32_t i, camera3ds** r) { GetCameraByIndex3ds(db, i, r); }))
        return false;
    if (!FetchTable(mMaterialEntries, GetMaterialCount3ds(db),
                    [db](std::uint32_t i, material3ds** r) { GetMaterialByIndex3ds(db, i, r); }))
        return false;

    const std::uint32_t objectNodes = GetObjectNodeCount3ds(db);
    if (objectNodes > 0) {
        if (!FetchTable(mMeshNodes, objectNodes,
                        [db](std::uint32_t i, kfmesh3ds** r) { GetObjectMotionByIndex3ds(db, i, r); }))
            return false;
    } else if (!BlankMotions(mMeshNodes, mMeshes, [](kfmesh3ds** r) { InitObjectMotion3ds(r, 0, 0, 0, 0, 0); })) {
        return false;
    }
    if (mLights) {
        const std::uint32_t omniNodes = GetOmnilightNodeCount3ds(db);
        if (omniNodes > 0) {
            if (!FetchTable(mOmniNodes, omniNodes,
                            [db](std::uint32_t i, kfomni3ds** r) { GetOmnilightMotionByIndex3ds(db, i, r); }))
                return false;
        } else if (!BlankMotions(mOmniNodes, mOmnilights, [](kfomni3ds** r) { InitOmnilightMotion3ds(r, 0, 0); })) {
            return false;
        }
        const std::uint32_t spotNodes = GetSpotlightNodeCount3ds(db);
        if (spotNodes > 0) {
            if (!FetchTable(mSpotNodes, spotNodes,
                            [db](std::uint32_t i, kfspot3ds** r) { GetSpotlightMotionByIndex3ds(db, i, r); }))
                return false;
        } else if (!BlankMotions(mSpotNodes, mSpotlights,
                                 [](kfspot3ds** r) { InitSpotlightMotion3ds(r, 0, 0, 0, 0, 0, 0); })) {
            return false;
        }
    }
    if (mCamera) {
        const std::uint32_t cameraNodes = GetCameraNodeCount3ds(db);
        if (cameraNodes > 0) {
            if (!FetchTable(mCameraNodes, cameraNodes,
                            [db](std::uint32_t i, kfcamera3ds** r) { GetCameraMotionByIndex3ds(db, i, r); }))
                return false;
        } else if (!BlankMotions(mCameraNodes, mCameras,
                                 [](kfcamera3ds** r) { InitCameraMotion3ds(r, 0, 0, 0, 0); })) {
            return false;
        }
    }
    return !Stop3ds();
}

bool KZeqReader3DS::ImportScene(KZeqScene& scene) {
    const KZeqColor ambient = mAmbientLight ? KZeqColor(mAmbient[0], mAmbient[1], mAmbient[2], 1.0)
                                            : KZeqColor(0.0, 0.0, 0.0, 1.0);
    scene.GetGlobalLightSettings()->SetAmbientColor(ambient);

    background3ds* background = nullptr;
    InitBackground3ds(&background);
    if (background) {
        GetBackground3ds(mDatabase, &background);
        const KZeqColor solid(background->solid.r, background->solid.g, background->solid.b, 1.0);
        ReleaseBackground3ds(&background);
        KZeqGlobalCameraSettings* cameras = scene.GetGlobalCameraSettings();
        for (int i = 0; i < 7; ++i)
            if (KZeqCamera* camera = SavedColours::Producer(cameras, i)) camera->SetDefaultBackgroundColor(solid);
    }
    if (Stop3ds()) return false;

    if (mMaterials && !ImportMaterials()) return false;
    if (!ImportAllObjects()) return false;
    if (!Create3DSNodeToKModelLookup()) return false;
    if (mCreateReferenceNode) {
        mReferenceNode = mManager.CreateKZeqNode("Zeq_Root");
        if (!mReferenceNode || !scene.GetRootNode()->AddChild(mReferenceNode)) return false;
        mReferenceNode->SetDefaultS(KZeqVector4(mScaleFactor, mScaleFactor, mScaleFactor, 1.0));
    }
    if (!ImportMeshHierarchy(scene)) return false;
    ImportOmnilightHierarchy(scene);
    ImportSpotlightHierarchy(scene);
    ImportCameraHierarchy(scene);
    if (!ImportMeshAnim() || !ImportOmnilightAnim() || !ImportSpotlightAnim() || !ImportCameraAnim()) return false;
    return ImportTake(scene);
}

bool KZeqReader3DS::ImportTake(KZeqScene& scene) {
    KTime start = KTime::Infinite();
    KTime stop = KTime::MinusInfinite();
    scene.GetRootNode()->GetAnimationInterval(start, stop);
    if (start == KTime::Infinite() || stop == KTime::MinusInfinite()) {
        start = KTime(0);
        stop.SetTime(0, 0, 0, 150, 0, KTime::eMode30);
    }
    KZeqTakeInfo info;
    info.mName = kTakeName;
    info.mLocalTimeSpan.Set(start, stop);
    info.mReferenceTimeSpan.Set(start, stop);
    if (!scene.SetTakeInfo(info)) {
        // A file without objects gives no node the take: the root holds it.
        scene.GetRootNode()->CreateTakeNode(kTakeName);
        if (!scene.SetTakeInfo(info)) return false;
    }
    scene.SetCurrentTake(kTakeName);
    return true;
}

bool KZeqReader3DS::ImportAllObjects() {
    for (MeshEntry& entry : mMeshes) {
        entry.mMesh = mManager.CreateKZeqMesh();
        if (!entry.mMesh) return false;
        mAttributes.push_back(entry.mMesh);
        if (entry.mRecord->facecount > 0 && !ConvertMesh(*entry.mRecord, *entry.mMesh)) return false;
    }
    for (LightEntry& entry : mOmnilights) {
        entry.mLight = mManager.CreateKZeqLight();
        if (!entry.mLight) return false;
        mAttributes.push_back(entry.mLight);
        ConvertOmnilight(*entry.mRecord, *entry.mLight);
    }
    for (LightEntry& entry : mSpotlights) {
        entry.mLight = mManager.CreateKZeqLight();
        if (entry.mLight) mAttributes.push_back(entry.mLight);
        entry.mTarget = mManager.CreateKZeqMarker();
        if (entry.mTarget) mAttributes.push_back(entry.mTarget);
        if (!entry.mLight || !entry.mTarget) return false;
        ConvertSpotlight(*entry.mRecord, *entry.mLight);
    }
    for (CameraEntry& entry : mCameras) {
        entry.mCamera = mManager.CreateKZeqCamera();
        if (entry.mCamera) mAttributes.push_back(entry.mCamera);
        entry.mTarget = mManager.CreateKZeqMarker();
        if (entry.mTarget) mAttributes.push_back(entry.mTarget);
        if (!entry.mCamera || !entry.mTarget) return false;
        ConvertCamera(*entry.mRecord, *entry.mCamera);
    }
    return true;
}

void KZeqReader3DS::EndOrphans() {
    for (KZeqNodeAttribute* attribute : mAttributes)
        if (!attribute->GetNode()) mManager.DestroyKZeqNodeAttribute(attribute);
    mAttributes.clear();
}

void KZeqReader3DS::ReleaseRecords() {
    for (MeshEntry& entry : mMeshes) RelMeshObj3ds(&entry.mRecord);
    for (MeshNodeEntry& entry : mMeshNodes) ReleaseObjectMotion3ds(&entry.mRecord);
    for (MaterialEntry& entry : mMaterialEntries) ReleaseMaterial3ds(&entry.mRecord);
    for (LightEntry& entry : mOmnilights) ReleaseLight3ds(&entry.mRecord);
    for (OmniNodeEntry& entry : mOmniNodes) ReleaseOmnilightMotion3ds(&entry.mRecord);
    for (LightEntry& entry : mSpotlights) ReleaseLight3ds(&entry.mRecord);
    for (SpotNodeEntry& entry : mSpotNodes) ReleaseSpotlightMotion3ds(&entry.mRecord);
    for (CameraEntry& entry : mCameras) ReleaseCamera3ds(&entry.mRecord);
    for (CameraNodeEntry& entry : mCameraNodes) ReleaseCameraMotion3ds(&entry.mRecord);
    mMeshes.clear();
    mMeshNodes.clear();
    mMaterialEntries.clear();
    mOmnilights.clear();
    mOmniNodes.clear();
    mSpotlights.clear();
    mSpotNodes.clear();
    mCameras.clear();
    mCameraNodes.clear();
    mMaterialLookup.clear();
    if (mMeshSet) ReleaseMeshSet3ds(&mMeshSet);
    if (mDatabase) ReleaseDatabase3ds(&mDatabase);
    mMeshSet = nullptr;
    mDatabase = nullptr;
}

bool KZeqReader3DS::CleanupRead() {
    ReleaseRecords();
    const bool failed = Stop3ds();
    // Only this reader's file: other toolkit users keep theirs.
    FileClose();
    return !failed;
}

}  // namespace zeqsdk_400
