// The "Takes" section as read: every selected take, inline or from its take
// file, into take nodes of the scene's objects, then moved by its import
// offset; and the take's time warps, with the baking of layers and time
// warps into plain curves that option 10 asks for.

#include <string>
#include <unordered_map>
#include <vector>

#include "base/kset.h"
#include "content/kzeqgenericnode.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvebake.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvefiltertimeshift.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveplot.h"
#include "fcurve/kfcurverotationfilter.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "io/kzeqscenerecords.h"
#include "object/izeqobject.h"
#include "object/kprogress.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

namespace {

// The time warps of one take: installed for curve reading while the take is
// read, and each held once, so that warps no channel took end with the take.
class TimeWarpScope {
public:
    TimeWarpScope() : mSet(20) {}
    TimeWarpScope(const TimeWarpScope&) = delete;
    TimeWarpScope& operator=(const TimeWarpScope&) = delete;
    ~TimeWarpScope() {
        KFCurve_SetTWSet(nullptr);
        for (KFCurveNode* holder : mHolders) holder->Destroy();
    }
    void Install() {
        for (int i = 0; i < mSet.GetCount(); ++i) {
            mHolders.push_back(KFCurveNodeCreate("TimeWarpHolder"));
            mHolders.back()->TimeWarpSet(reinterpret_cast<KFCurveNode*>(mSet.GetFromIndex(i)));
        }
        KFCurve_SetTWSet(&mSet);
    }
    KSet mSet;

private:
    std::vector<KFCurveNode*> mHolders;
};

// Beside a model named "Camera Switcher" the switcher's records bear the name the writer gave
// them apart from it ("Model::Camera Switcher~1"), and the model's records its own.
bool IsSwitcherName(const KString& name, const KString& apart) {
    return name == apart || (apart == "Model::Camera Switcher" && name == "Camera Switcher");
}

// A model's rotation curves are in its rotation order, though the "R" node read says Euler XYZ:
// the merge's plot and rotation filter take their axes from that node. Spheric XYZ is left as read.
void SayRotationOrder(KFCurveNode* curves, const KZeqNode& model) {
    ERotationOrder order = eEULER_XYZ;
    model.GetRotationOrder(KZeqNode::eSOURCE_SET, order);
    if (order < eEULER_XYZ || order >= eSPHERIC_XYZ) return;
    // The curve node's codes of the Euler orders are twice the model's.
    if (KFCurveNode* rotation = curves ? curves->FindRecursive("R") : nullptr) rotation->SetRotationOrder(2 * order);
}

}  // namespace

bool KZeqReaderZeq::ReadAnimation(KZeqScene& scene) {
    KZeq& file = *mFile;
    bool failed = false;
    if (file.FieldReadBegin("Takes")) {
        if (file.FieldReadBlockBegin()) {
            if (scene.GetRootNode()) IndexNodesBelow(*scene.GetRootNode());
            // The first record of each name, as a search of the list in order finds it.
            std::unordered_map<std::string, KZeqTakeInfo*> takes;
            for (int i = 0; i < mOptions->GetTakeInfoCount(); ++i) {
                KZeqTakeInfo* info = mOptions->GetTakeInfo(i);
                takes.emplace(std::string(info->mName.Buffer(), info->mName.GetLen()), info);
            }
            while (file.FieldReadBegin("Take")) {
                const KString name = file.FieldReadC();
                const auto found = takes.find(std::string(name.Buffer(), name.GetLen()));
                KZeqTakeInfo* take = found == takes.end() ? nullptr : found->second;
                if (take && take->mSelect && file.FieldReadBlockBegin()) {
                    if (ReadTakeAnimation(scene, take)) {
                        // The scene knows the take by the name it was read under.
                        KZeqTakeInfo copy = *take;
                        copy.mName = take->mImportName;
                        // A take that animates nothing (no object holds it, so the
                        // scene refuses its information) is still a take of the
                        // scene: every object gets it, empty, so that it is kept.
                        if (!scene.SetTakeInfo(copy) && scene.CreateTake(copy.mName.Buffer()))
                            scene.SetTakeInfo(copy);
                    } else {
                        failed = true;
                    }
                    file.FieldReadBlockEnd();
                    KGetGlobalProgress()->UpdateSection();
                }
                file.FieldReadEnd();
            }
            mNodeIndex.clear();
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    const KString current = mOptions->GetCurrentTake();
    if (scene.GetTakeInfoConst(current)) scene.SetCurrentTake(current.Buffer());
    return !failed;
}

bool KZeqReaderZeq::ReadTakeAnimation(KZeqScene& scene, KZeqTakeInfo* take) {
    KZeq& file = *mFile;
    if (file.FieldReadBegin("FileName")) {
        const KString name = file.FieldReadC();
        file.FieldReadEnd();
        const KString path = file.GetFullFilePath(name.Buffer());
        KZeq takeFile;
        const bool regular = ZeqIsRegularFile(path.Buffer());
        if (regular && takeFile.ProjectOpenDirect(path.Buffer(), false, true)) {
            ReadNodeAnimation(takeFile, scene, take);
            if (takeFile.GetLastErrorID() == KZeq::eFileCorrupted) {
                mError.SetLastError(eFileCorrupted, takeFile.GetLastErrorString());
                mDamagedTakeFile = true;
            }
            takeFile.ProjectClose();
        } else if (file.IsVersion2000OrLater()) {
            ReadNodeAnimation(file, scene, take);
        } else {
            // Before version 2000 a take lives in its take file only.
            const int error = regular ? takeFile.GetLastErrorID() : KZeq::eFileNotOpened;
            const int id = error == KZeq::eFileCorrupted   ? eFileCorrupted
                           : error == KZeq::eFileNotOpened ? eFileNotOpened
                                                           : eUnidentifiedError;
            if (regular)
                mError.SetLastError(id, takeFile.GetLastErrorString());
            else
                mError.SetLastErrorID(id);
            return false;
        }
    } else {
        ReadNodeAnimation(file, scene, take);
    }
    TimeShiftNodeAnimation(scene, take);
    return true;
}

bool KZeqReaderZeq::ReadNodeAnimation(KZeq& file, KZeqScene& scene, KZeqTakeInfo* take) {
    mBefore6 = mFile && mFile->IsBeforeVersion6();  // the main file's layout, also for a take file
    TimeWarpScope warps;
    ReadTimeWarps(file, warps.mSet);
    warps.Install();
    const int total =
        file.FieldGetInstanceCount("Model") + file.FieldGetInstanceCount("Texture") + file.FieldGetInstanceCount("Material");
    int counter = 0;
    const KString message = KString("Retrieving take ") + take->mImportName;
    auto progress = [&] {
        mImporter.ProgressUpdate(nullptr, message.Buffer(), "",
                                 total > 0 ? static_cast<float>(counter) * 100.0f / static_cast<float>(total) : 0.0f);
        ++counter;
    };
    mImporter.ProgressUpdate(nullptr, message.Buffer(), "", 0.0f);
    mCutBakes = 0;
    if (KZeqThumbnail* thumbnail = ZeqReadThumbnail(file, mManager)) take->SetTakeThumbnail(thumbnail);
    KZeqEntity* entity = scene.GetEntity();
    const KString switcher = ZeqSwitcherTakeName([this](const char* name) { return FindIndexedNode(name) != nullptr; });
    while (file.FieldReadBegin("Model")) {
        progress();
        const KString name = file.FieldReadC();
        KZeqTakeNodeContainer* object =
            IsSwitcherName(name, switcher) ? scene.GetCameraSwitcher() : FindIndexedNode(name.Buffer());
        // The switcher is no model of the tree: 'S' keeps its shapes alone.
        if (object) ReadTakeNodeRecord(file, *object, *take, object == scene.GetCameraSwitcher() ? 'S' : 'M');
        file.FieldReadEnd();
    }
    // Generic nodes ('G', no progress and no merge), textures ('T'), materials ('A').
    for (const char* field : {"GenericNode", "Texture", "Material"}) {
        const char kind = field[0] == 'M' ? 'A' : field[0];
        while (file.FieldReadBegin(field)) {
            if (kind != 'G') progress();
            const KString name = file.FieldReadC();
            KZeqTakeNodeContainer* object = nullptr;
            if (entity && kind == 'G') object = entity->GetGenericNode(name.Buffer());
            if (entity && kind == 'T') object = entity->GetTexture(name);
            if (entity && kind == 'A') object = entity->GetMaterial(name);
            if (object) ReadTakeNodeRecord(file, *object, *take, kind);
            file.FieldReadEnd();
        }
    }
    if (mCutBakes > 0)
        AddMessageLine(KString("Take \"") + take->mImportName + "\": the animation of " + mFirstCutBake +
                       (mCutBakes > 1 ? KString(" (and of ") + KString(mCutBakes - 1) + " more)" : KString()) +
                       " plays more within the take's span than a bake takes (over " +
                       ZeqBakeBoundText(mOptions ? mOptions->GetMostBakeSamples() : kKFCurveBakeMostSamples) +
                       " samples: a curve or a time warp cycling or keeping its slope past its keys); its layers and "
                       "time warps are baked over its keys alone.");
    return true;
}

void KZeqReaderZeq::ReadTakeNodeRecord(KZeq& file, KZeqTakeNodeContainer& object, KZeqTakeInfo& take, char kind) {
    const char* name = take.mImportName.Buffer();
    object.CreateTakeNode(name);
    object.SetCurrentTakeNode(name);
    KZeqTakeNode* node = object.GetCurrentTakeNode();
    if (node && file.FieldReadBlockBegin()) {
        // Before version 6 a node's user properties may hold their channels
        // under their names without type.
        KZeqNode* named = mBefore6 && (kind == 'M' || kind == 'S') ? static_cast<KZeqNode*>(&object) : nullptr;
        if (named) ListRecordChannels(file, *named);
        node->ReadChannels(&file, false, true, false);
        if (kind == 'M' && mBefore6) {
            KZeqGeometry* geometry = static_cast<KZeqNode&>(object).GetGeometry();
            if (geometry) geometry->CleanShapeChannels(node);
        }
        // Files before version 6 keep a material's shininess keys a hundred times larger.
        if (kind == 'A' && mBefore6)
            if (KFCurve* shininess = node->GetMaterialShininess()) shininess->KeyScaleValueAndTangeant(false, 0.01f);
        if (kind != 'G' && mOptions && mOptions->GetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP) &&
            ZeqMergeTakeTree(node->GetKFCurveNode(), kind == 'M' || kind == 'S' ? &static_cast<KZeqNode&>(object) : nullptr,
                             &take.mLocalTimeSpan, mOptions->GetMostBakeSamples()) &&
            mCutBakes++ == 0)
            mFirstCutBake = object.GetName();
        if (named) TakeStoredChannels(*named, node), mRecordChannels.clear();
        file.FieldReadBlockEnd();
    }
    object.SetCurrentTakeNode(0);
}

bool KZeqReaderZeq::TimeShiftNodeAnimation(KZeqScene& scene, KZeqTakeInfo* take) {
    scene.SetCurrentTake(take->mImportName.Buffer());
    KZeqEntity* entity = scene.GetEntity();
    std::vector<KZeqTakeNodeContainer*> objects;
    if (KZeqNode* switcher = scene.GetCameraSwitcher()) objects.push_back(switcher);
    if (entity) {
        for (int i = 0; i < entity->GetNodeCount(); ++i) objects.push_back(entity->GetNode(i));
        for (int i = 0; i < entity->GetMaterialCount(); ++i) objects.push_back(entity->GetMaterial(i));
        for (int i = 0; i < entity->GetTextureCount(); ++i) objects.push_back(entity->GetTexture(i));
    }
    KTime shift = take->mImportOffset;
    if (take->mImportOffsetType != 1) {
        KTime start = KTime::Infinite(), stop = KTime::MinusInfinite();
        // Each node's interval covers its subtree: the switcher, the root,
        // then the materials and textures.
        if (KZeqNode* switcher = scene.GetCameraSwitcher()) switcher->GetAnimationInterval(start, stop);
        if (KZeqNode* root = scene.GetRootNode()) root->GetAnimationInterval(start, stop);
        if (entity) {
            for (int i = 0; i < entity->GetMaterialCount(); ++i) entity->GetMaterial(i)->GetAnimationInterval(start, stop);
            for (int i = 0; i < entity->GetTextureCount(); ++i) entity->GetTexture(i)->GetAnimationInterval(start, stop);
        }
        // A take without keys has nothing to move to the offset.
        shift = start <= stop ? take->mImportOffset - start : KTime(0);
    }
    if (shift != KTime(0)) {
        KFCurveFilterTimeShiftAndScale filter;
        filter.SetStartTime(KTime::MinusInfinite());
        filter.SetStopTime(KTime::Infinite());
        filter.SetShift(shift);
        for (KZeqTakeNodeContainer* object : objects) {
            KZeqTakeNode* node = object ? object->GetCurrentTakeNode() : nullptr;
            if (node && node->GetKFCurveNode()) filter.Apply(*node->GetKFCurveNode(), true);
        }
        take->mLocalTimeSpan.Set(take->mLocalTimeSpan.GetStart() + shift, take->mLocalTimeSpan.GetStop() + shift);
    }
    scene.SetCurrentTake("Default");
    return true;
}

// ---- Time warps ----------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadTimeWarps(KZeq& file, KSet& set) {
    if (!file.FieldReadBegin("TimeWarps")) return false;
    if (file.FieldReadBlockBegin()) {
        file.FieldReadI("Version", 0);
        while (file.FieldReadBegin("TW")) {
            const int number = file.FieldReadI();
            if (file.FieldReadBlockBegin()) {
                if (KFCurveNode* warp = KFCurveNodeCreate(&file, false, false))
                    set.Add(static_cast<unsigned int>(number), reinterpret_cast<kReference>(warp));
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
        }
        file.FieldReadBlockEnd();
    }
    return file.FieldReadEnd();
}

namespace {

// A node whose values the bake takes whole: one with layers or a curve of its own, or one whose
// children are all plain channels (a vector). Above such nodes only time warps are passed down.
bool IsChannelGroup(const KFCurveNode& node) {
    if (node.FCurveGet() || node.LayerGet()) return true;
    for (int i = 0; i < node.GetCount(); ++i)
        if (node.Get(i)->GetCount() > 0) return false;
    return true;
}

void FilterMerged(KFCurveNode* node) {
    KFCURVE_ApplyRotationFilter(node, KTime::MinusInfinite(), KTime::Infinite());
    if (KFCURVE_GetUseConstantKeyReducer()) {
        KFCurveFilterConstantKeyReducer reducer;
        reducer.SetKeepFirstAndLastKeys(true);
        reducer.Apply(*node, true);
    }
}

void MergeBelow(KFCurveNode* node, std::vector<KFCurveNode*>& above, const KFCurveBakeSpan& span) {
    if (IsChannelGroup(*node)) {
        // A group neither layered nor warped keeps its curves as they are.
        if (KFCurveNodeBake(node, above.data(), static_cast<int>(above.size()), KFCURVE_GetPlotPeriod(), &span))
            FilterMerged(node);
        return;
    }
    // Warps compose from the top down: this node's bends the time its children are read at.
    KFCurveNode* own = node->TimeWarpGet();
    if (own) above.push_back(own);
    for (int i = 0; i < node->GetCount(); ++i) MergeBelow(node->Get(i), above, span);
    if (own) {
        above.pop_back();
        node->TimeWarpSet(nullptr);
    }
}

}  // namespace

void KZeqReaderZeq::MergeLayerAndTimeWarp(KFCurveNode* node, KFCurveNode* inherited) {
    if (!node) return;
    std::vector<KFCurveNode*> above;
    if (inherited) above.push_back(inherited);
    MergeBelow(node, above, KFCurveBakeSpan());
}

KString ZeqBakeBoundText(kULongLong most) {
    if (most >= kKFCurveBakeMostSamples) return "ten million";
    // Thousands set apart, as the user reads them: written from the last digit back.
    char text[32];
    char* at = text + sizeof(text) - 1;
    *at = '\0';
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) *--at = ',';
        *--at = static_cast<char>('0' + most % 10);
        most /= 10, ++digits;
    } while (most > 0);
    return at;
}

bool ZeqMergeTakeTree(KFCurveNode* tree, const KZeqNode* model, const KTimeSpan* take, kULongLong mostSamples) {
    if (!tree) return false;
    if (model) SayRotationOrder(tree, *model);
    std::vector<KFCurveNode*> above;
    // Within the take its animation plays past its keys too; a take without a span has its keys'.
    KFCurveBakeSpan span;
    bool cut = false;
    span.mCut = &cut;
    span.mMostSamples = mostSamples;
    if (take && take->GetStart() < take->GetStop()) span.mStart = take->GetStart(), span.mStop = take->GetStop();
    MergeBelow(tree, above, span);
    return cut;
}

void KZeqReaderZeq::MergeTimeWarpWithLayer(KFCurveNode* node, KFCurveNode* warp) {
    if (node) KFCurveNodeBake(node, &warp, warp ? 1 : 0, KFCURVE_GetPlotPeriod());
}

// Layered or not, a node is baked alike.
void KZeqReaderZeq::MergeTimeWarpWithoutLayer(KFCurveNode* node, KFCurveNode* warp) { MergeTimeWarpWithLayer(node, warp); }

bool ZeqReadTakes(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadAnimation(scene); }

bool ZeqReadPostProcessing(KZeqReaderZeq&, KZeqScene& scene) {
    scene.BuildMaterialLayersDirectArray();
    scene.BuildTextureLayersDirectArray();
    scene.BuildKZeqLinkFromKZeqDeformer();
    scene.RemoveKZeqDeformers();
    return true;
}

}  // namespace zeqsdk_400
