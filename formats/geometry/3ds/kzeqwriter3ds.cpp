// The 3DS writer: the output beside its target, the options, the renaming,
// the scene walk and the scene-wide settings. The chunk layout itself is the
// toolkit's (see the reader for the tree of a mesh file).

#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/kzeqwriter3ds_motion.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/kname.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kpath.h"
#include "formats/geometry/3ds/krenamingstrategy3ds.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "formats/geometry/deform/kzeqdeformation.h"
#include "io/kstreamoptions3ds.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

constexpr double kInchesPerCentimetre = 0.3937007874015748;

bool StartsWithRootName(const char* name) { return std::strncmp(name, "Zeq_Roo", 7) == 0; }

// The toolkit's pending errors as one line.
std::string ToolkitErrors() {
    std::string text;
    const errorentry3ds* list = ReturnErrorList3ds();
    for (int i = 0; list && i < ErrStackSize3ds && list[i].code != 0; ++i) {
        if (!text.empty()) text += "; ";
        text += list[i].text ? list[i].text : ErrCodeToString3ds(list[i].code);
    }
    return text.empty() ? std::string("unidentified error") : text;
}

bool ToolkitError(std::int32_t code) {
    const errorentry3ds* list = ReturnErrorList3ds();
    for (int i = 0; list && i < ErrStackSize3ds && list[i].code != 0; ++i)
        if (list[i].code == code) return true;
    return false;
}

}  // namespace

KZeqWriter3DS::KZeqWriter3DS(KZeqSdkManager& manager) : KZeqWriter(manager) {}

KZeqWriter3DS::~KZeqWriter3DS() { KZeqWriter3DS::FileClose(); }

bool KZeqWriter3DS::FileCreate(const char* fileName) {
    FileClose();
    if (!fileName || !*fileName) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    mTargetPath = fileName;
    // Written beside the target and renamed over it once complete: a refused or failed export
    // leaves an existing file as it was, and never replaces anything but a regular file.
    if (!mReplacement.Begin(fileName)) {
        ReplacementFailed(mReplacement, eFileNotOpened);
        return false;
    }
    ClearErrList3ds();
    // Through the descriptor the temporary was created with: never reopened by name.
    std::FILE* stream = mReplacement.OpenStream("wb");
    mFile3ds = stream ? AdoptFile3ds(stream, mReplacement.GetTemporaryPath()) : nullptr;
    if (!mFile3ds) {
        const int reason = errno;
        mMessage += KString("Cannot open \"") + mReplacement.GetTemporaryPath() + "\": " + std::strerror(reason) + ".\n";
        mReplacement.Discard();
        ClearErrList3ds();
        mError.SetLastErrorID(eFileNotOpened);
        mError.SetLastSystemError(reason);
        return false;
    }
    return true;
}

bool KZeqWriter3DS::FileClose() {
    Abandon();
    return true;
}

void KZeqWriter3DS::Abandon() {
    if (mMeshSettings) ReleaseMeshSet3ds(&mMeshSettings);
    if (mDatabase) ReleaseDatabase3ds(&mDatabase);
    mMeshSettings = nullptr;
    mDatabase = nullptr;
    if (mFile3ds) CloseFile3ds(mFile3ds);
    mFile3ds = nullptr;
    mReplacement.Discard();
    mTextureCopies.clear();
}

void KZeqWriter3DS::Fail(int error, const std::string& text) {
    // A refusal is said as what it is; a full disk keeps the table's words, which callers know.
    if (error == eOutOfDiskSpace)
        mError.SetLastErrorID(error);
    else
        mError.SetLastError(error, text.c_str());
    // First: the warnings about textures and names before it may run long.
    mMessage = KString((text + "\n").c_str()) + mMessage;
}

void KZeqWriter3DS::WriteFailed() {
    // Only a failed write or close has the system's reason: the rest the toolkit refused.
    const int code = SystemError3ds();
    if (code != 0) {
        Fail(eOutOfDiskSpace, "Error writing \"" + mTargetPath + "\": " + std::strerror(code));
        mError.SetLastSystemError(code);
    } else if (ToolkitError(ERR_TOO_MANY_NODES)) {
        Fail(eUnidentifiedError, "Cannot write \"" + mTargetPath + "\": the scene makes more than the " +
                                     std::to_string(kMaxNodes3ds) +
                                     " keyframer nodes a 3DS file can number (its node ids are 16-bit); every "
                                     "object, light, camera and target takes one");
    } else {
        Fail(eUnidentifiedError, "Cannot write \"" + mTargetPath + "\": " + ToolkitErrors());
    }
}

KStreamOptions* KZeqWriter3DS::GetWriteOptions() {
    KStreamOptions3ds* options = KStreamOptions3dsCreate();
    options->Reset();
    return options;
}

bool KZeqWriter3DS::Write(KZeqScene& scene, KStreamOptions* options) {
    if (!mFile3ds) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    if (RefuseSceneWithoutRoot(scene)) {
        Abandon();
        return false;
    }
    // An error an earlier toolkit user left behind must not fail this export.
    ClearErrList3ds();
    mScene = &scene;
    if (!InitWrite(options)) {
        Fail(eUnidentifiedError, "Cannot prepare the 3DS database: " + ToolkitErrors());
        Abandon();
        return false;
    }
    const long long lastFrame = motion3ds::FrameReaching(mAnimStop);
    const long long frames = lastFrame + 1;
    if (mExportAnim && frames > motion3ds::kMaxFrames3ds) {
        Fail(eUnidentifiedError, "The animation runs " + std::to_string(frames) +
                                     " frames at 30 frames per second, more than the " +
                                     std::to_string(motion3ds::kMaxFrames3ds) + " a 3DS file is written with");
        Abandon();
        return false;
    }
    ExportZeqNode(mRootNode);

    const KZeqColor ambient = scene.GetGlobalLightSettings()->GetAmbientColor();
    mMeshSettings->ambientlight = mAmbientLight ? fcolor3ds{static_cast<float>(ambient.mRed),
                                                            static_cast<float>(ambient.mGreen),
                                                            static_cast<float>(ambient.mBlue)}
                                                : fcolor3ds{0.0f, 0.0f, 0.0f};
    mMeshSettings->masterscale = mRescale ? static_cast<float>(mMasterScale) : 1.0f;
    mMeshSettings->shadowmapsize = 500;
    mMeshSettings->raytracebias = 3.0f;
    mMeshSettings->shadowfilter = 3.0f;
    PutMeshSet3ds(mDatabase, mMeshSettings);
    if (Stop3ds()) {
        Fail(eUnidentifiedError, "Cannot store the 3DS mesh settings: " + ToolkitErrors());
        Abandon();
        return false;
    }
    kfsets3ds* settings = nullptr;
    InitKfSets3ds(&settings);
    if (settings) {
        // The tracks run at 30 frames per second, so the length counts those frames.
        settings->anim.length = static_cast<std::int32_t>(lastFrame);
        PutKfSets3ds(mDatabase, settings);
        ReleaseKfSets3ds(&settings);
    }
    return CleanupWrite();
}

bool KZeqWriter3DS::InitWrite(KStreamOptions* options) {
    mRootNode = mScene->GetRootNode();
    if (!TakeSwitches(options)) mError.SetLastErrorID(eStreamOptionsNotSet);
    mMasterScale = mRescale ? kInchesPerCentimetre : 1.0;
    mMeshCount = 0;
    mMaterialNames.clear();
    mMaterialNamesGiven.clear();
    InitDatabase3ds(&mDatabase);
    if (Stop3ds() || !mDatabase) return false;
    CreateNewDatabase3ds(mDatabase, MeshFile3ds);
    if (Stop3ds()) return false;
    InitMeshSet3ds(&mMeshSettings);
    if (Stop3ds() || !mMeshSettings) return false;

    RenameAll();
    mTargets.clear();
    KTime warpStart = KTime::Infinite(), warpStop = KTime::MinusInfinite();
    std::vector<KZeqNode*> pending{mRootNode};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        motion3ds::WidenOverTimeWarps(node->GetCurrentTakeNode(), warpStart, warpStop);
        const bool spot = mLights && node->GetLight() && node->GetLight()->GetLightType() == KZeqLight::eSPOT;
        const bool camera = mCamera && node->GetCamera();
        if (KZeqNode* target = (spot || camera) ? node->GetTarget() : nullptr) {
            KZeqNodeAttribute* attribute = target->GetNodeAttribute();
            const int type = attribute ? attribute->GetAttributeType() : KZeqNodeAttribute::eNULL;
            if (type == KZeqNodeAttribute::eMARKER || type == KZeqNodeAttribute::eNULL) mTargets.insert(target);
        }
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
    }

    mExportAnim = mAnim;
    mAnimStart = KTime(0);
    mAnimStop = KTime(0);
    // A take plays as long as its keys and time warps run.
    if (mRootNode && mRootNode->GetAnimationInterval(mAnimStart, mAnimStop) && warpStart <= warpStop) {
        mAnimStart = std::min(mAnimStart, warpStart);
        mAnimStop = std::max(mAnimStop, warpStop);
    }
    if (mAnimStart == mAnimStop) {
        mExportAnim = false;
        mAnimStart = KTime(0);
        mAnimStop.SetTime(0, 0, 0, 100, 0, KTime::eMode30);
    }
    return true;
}

void KZeqWriter3DS::RenameAll() {
    // The object takes exactly the short name, without its namespace prefix.
    const auto Shorten = [](KRenamingStrategy3DS& strategy, KZeqObject* object, int width) {
        KName name;
        name.SetInitialName(object->GetName());
        strategy.Rename(name, width);
        object->SetInitialName(name.GetCurrentName());
    };
    KRenamingStrategy3DS nodes;
    for (int i = 0; i < mManager.GetKZeqNodeCount(); ++i) Shorten(nodes, mManager.GetKZeqNode(i), 10);
    KRenamingStrategy3DS materials;
    for (int i = 0; i < mManager.GetKZeqMaterialCount(); ++i) Shorten(materials, mManager.GetKZeqMaterial(i), 15);
}

bool KZeqWriter3DS::Animating(KZeqNode* node) const { return mExportAnim && CurvesTake(node); }

KZeqTakeNode* KZeqWriter3DS::CurvesTake(KZeqNode* node) const {
    KZeqTakeNode* take = mAnim && node ? node->GetCurrentTakeNode() : nullptr;
    return take && take->GetKFCurveNode() ? take : nullptr;
}

std::uint32_t KZeqWriter3DS::FrameCount(KZeqNode* node, KTime& start, KTime& stop) const {
    return Animating(node) ? motion3ds::KeyCount(node->GetCurrentTakeNode(), start, stop) : 1;
}

std::string KZeqWriter3DS::ParentName(KZeqNode* node, bool rootCase) const {
    KZeqNode* parent = node ? node->GetParent() : nullptr;
    if (!parent) return std::string();
    std::string name;
    KZeqNodeAttribute* attribute = parent->GetNodeAttribute();
    const int type = attribute ? attribute->GetAttributeType() : -1;
    if (type == KZeqNodeAttribute::eMESH || type == KZeqNodeAttribute::eNURB || type == KZeqNodeAttribute::ePATCH ||
        type == KZeqNodeAttribute::eLIGHT || type == KZeqNodeAttribute::eCAMERA)
        name = motion3ds::FileName(parent);
    else if (rootCase && StartsWithRootName(motion3ds::FileName(parent).c_str()))
        name = mCreateReferenceNode ? std::string(DummyName3ds) + ".RootNod" : std::string();
    else
        name = std::string(DummyName3ds) + "." + motion3ds::FileName(parent);
    if (name.size() > 20) name.resize(20);
    return name;
}

void KZeqWriter3DS::ExportZeqNode(KZeqNode* node) {
    std::vector<KZeqNode*> pending{node};
    while (!pending.empty()) {
        KZeqNode* current = pending.back();
        pending.pop_back();
        if (!current) continue;
        ExportOneNode(current);
        for (int i = current->GetChildCount(); i-- > 0;) pending.push_back(current->GetChild(i));
    }
}

void KZeqWriter3DS::ExportOneNode(KZeqNode* node) {
    KZeqVector4 t, r, s;
    node->GetDefaultT(t);
    node->GetDefaultR(r);
    node->GetDefaultS(s);
    if (node->IsTakeLayeredOrWarped()) {
        // Its curves alone do not play the take's layers and time warps.
        const KZeqXMatrix local = node->EvaluateLocalTransform(KTime(0));
        t = local.GetT(), r = local.GetEulerXYZ(), s = local.GetS();
    } else if (KZeqTakeNode* take = node->GetCurrentTakeNode()) {
        KFCurve* ct[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        KFCurve* cr[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        KFCurve* cs[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
        const auto AtZero = [](KFCurve** curves, KZeqVector4& out) {
            if (!curves[0] || !curves[1] || !curves[2]) return;
            for (int a = 0; a < 3; ++a) {
                int last = -1;
                out[a] = curves[a]->CandidateEvaluate(KTime(0), &last);
            }
        };
        AtZero(ct, t);
        AtZero(cr, r);
        AtZero(cs, s);
    }
    KZeqNodeAttribute* attribute = node->GetNodeAttribute();
    const int type = attribute ? attribute->GetAttributeType() : -1;
    const std::string name = motion3ds::FileName(node);
    if (type == KZeqNodeAttribute::eMESH || type == KZeqNodeAttribute::ePATCH || type == KZeqNodeAttribute::eNURB) {
        if (mGeometries) {
            const bool textureMapping = mTextureMapping;
            if (type != KZeqNodeAttribute::eMESH) {
                mTextureMapping = false;
                KZeqDeformation::TriangulateInPlace(mManager, node);
            }
            // The keyframer holds the node's full local transform (below); the mesh matrix is its first frame.
            KZeqVector4 mt = t, mr = r, ms = s;
            KZeqXMatrix geometric;
            const bool full = node->NeedsFullTransform();
            if (full) {
                const KZeqXMatrix local = node->EvaluateLocalTransform(KTime(0));
                mt = local.GetT(), mr = local.GetEulerXYZ(), ms = local.GetS();
                geometric = node->EvaluateGeometricTransform();
            }
            const KZeqXMatrix* shape = full ? &geometric : nullptr;
            if (mesh3ds* mesh = ConvMeshZeqto3DS(node->GetMesh(), mt, mr, ms, name.c_str(), shape)) {
                PutMesh3ds(mDatabase, mesh);
                RelMeshObj3ds(&mesh);
            }
            if (kfmesh3ds* motion = ConvMeshNodeZeqto3DS(node)) {
                PutObjectMotion3ds(mDatabase, motion);
                ReleaseObjectMotion3ds(&motion);
            }
            mTextureMapping = textureMapping;
        }
    } else if (type == KZeqNodeAttribute::eLIGHT) {
        KZeqLight* light = node->GetLight();
        if (mLights && light->GetLightType() == KZeqLight::ePOINT) {
            if (light3ds* record = ConvOmnilightZeqto3DS(light, t, name.c_str())) {
                PutOmnilight3ds(mDatabase, record);
                ReleaseLight3ds(&record);
            }
            if (kfomni3ds* motion = ConvOmnilightNodeZeqto3DS(node)) {
                PutOmnilightMotion3ds(mDatabase, motion);
                ReleaseOmnilightMotion3ds(&motion);
            }
        } else if (mLights && light->GetLightType() == KZeqLight::eSPOT) {
            if (light3ds* record = ConvSpotlightZeqto3DS(light, t, r, name.c_str())) {
                // The static record aims where the motion's first frame does.
                if (kfspot3ds* motion = ConvSpotlightNodeZeqto3DS(node)) {
                    if (record->spot && motion->ntkeys > 0 && motion->tpos) record->spot->target = motion->tpos[0];
                    if (record->spot && motion->nfkeys > 0 && motion->fall) record->spot->falloff = motion->fall[0];
                    PutSpotlight3ds(mDatabase, record);
                    PutSpotlightMotion3ds(mDatabase, motion);
                    ReleaseSpotlightMotion3ds(&motion);
                } else {
                    PutSpotlight3ds(mDatabase, record);
                }
                ReleaseLight3ds(&record);
            }
        }
    } else if (type == KZeqNodeAttribute::eCAMERA) {
        if (mCamera) {
            if (camera3ds* record = ConvCameraZeqto3DS(node->GetCamera(), t, name.c_str())) {
                if (kfcamera3ds* motion = ConvCameraNodeZeqto3DS(node)) {
                    if (motion->ntkeys > 0 && motion->tpos) record->target = motion->tpos[0];
                    if (motion->nfkeys > 0 && motion->fov) record->fov = motion->fov[0];
                    if (motion->nrkeys > 0 && motion->roll) record->roll = motion->roll[0];
                    PutCamera3ds(mDatabase, record);
                    PutCameraMotion3ds(mDatabase, motion);
                    ReleaseCameraMotion3ds(&motion);
                } else {
                    PutCamera3ds(mDatabase, record);
                }
                ReleaseCamera3ds(&record);
            }
        }
    } else {
        if (StartsWithRootName(name.c_str())) mMasterScale = s[0] * kInchesPerCentimetre;
        const bool skip = (!node->GetParent() && !mCreateReferenceNode) || StartsWithRootName(name.c_str()) ||
                          mTargets.count(node) != 0;
        if (!skip) {
            if (kfmesh3ds* motion = ConvMeshNodeZeqto3DS(node)) {
                CopyName3ds(motion->name, sizeof(motion->name), DummyName3ds);
                CopyName3ds(motion->instance, sizeof(motion->instance), name.c_str());
                motion->bboxmin = point3ds{-0.5f, -0.5f, -0.5f};
                motion->bboxmax = point3ds{0.5f, 0.5f, 0.5f};
                PutObjectMotion3ds(mDatabase, motion);
                ReleaseObjectMotion3ds(&motion);
            }
        }
    }
}

bool KZeqWriter3DS::CleanupWrite() {
    WriteDatabase3ds(mFile3ds, mDatabase);
    if (Stop3ds()) {
        WriteFailed();
        Abandon();
        return false;
    }
    ReleaseMeshSet3ds(&mMeshSettings);
    ReleaseDatabase3ds(&mDatabase);
    mMeshSettings = nullptr;
    mDatabase = nullptr;
    CloseFile3ds(mFile3ds);
    mFile3ds = nullptr;
    if (Stop3ds()) {
        WriteFailed();
        Abandon();
        return false;
    }
    // The texture copies take their names with the file that names them (it goes last), all or none.
    std::vector<KFileReplacement*> group;
    for (auto& copy : mTextureCopies) group.push_back(copy.get());
    group.push_back(&mReplacement);
    if (const KFileReplacement* failed = KFileReplacement::CommitTogether(group.data(), group.size())) {
        const KString warnings = mMessage;
        mMessage.Empty();
        ReplacementFailed(*failed, eFileNotCreated);
        mMessage += warnings;
        Abandon();
        return false;
    }
    // A texture copy that could not take its name was left out alone.
    ReportTextureCopiesLeftOut(mTextureCopies);
    mTextureCopies.clear();
    return true;
}

// ---- Deformed positions ----------------------------------------------------------------

void KZeqWriter3DS::ComputeShapeDeformation(KZeqNode*, KZeqMesh* mesh, KZeqVector4* points) {
    if (mesh && points) KZeqDeformation::ComputeShapeDeformation(mesh, points, mesh->GetControlPointsCount());
}

void KZeqWriter3DS::ComputeLinkDeformation(KZeqXMatrix& global, KZeqMesh* mesh, KZeqVector4* points) {
    // A mesh without links keeps its points.
    if (mesh && points && mesh->GetLinkCount() > 0)
        KZeqDeformation::ComputeLinkDeformation(global, mesh, points, mesh->GetControlPointsCount());
}

void KZeqWriter3DS::MatrixScale(KZeqXMatrix& matrix, double factor) { KZeqDeformation::MatrixScale(matrix, factor); }

void KZeqWriter3DS::MatrixAddToDiagonal(KZeqXMatrix& matrix, double value) {
    KZeqDeformation::MatrixAddToDiagonal(matrix, value);
}

void KZeqWriter3DS::MatrixAdd(KZeqXMatrix& matrix, KZeqXMatrix& other) { KZeqDeformation::MatrixAdd(matrix, other); }

KZeqXMatrix KZeqWriter3DS::GetLocalPosition(KZeqNode* node) { return KZeqDeformation::GetLocalPosition(node); }

KZeqXMatrix KZeqWriter3DS::GetGlobalPosition(KZeqNode* node) { return KZeqDeformation::GetGlobalPosition(node); }

}  // namespace zeqsdk_400
