// The "Takes" section as both Zeq writers write it: per selected take its
// information, then one take-node record per animated object (the switcher,
// the nodes below the root, from version 6 the generic nodes, the textures
// and the materials).

#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "content/kzeqgenericnode.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "base/kset.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvebake.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "io/kzeqexporter.h"
#include "io/kzeqfields.h"
#include "io/kzeqscenerecords.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "object/kprogress.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

namespace {

void WriteSectionComment(KZeq& file, const char* title) {
    file.WriteComments(title);
    file.WriteComments("----------------------------------------------------");
    file.WriteComments("");
}

// The take's file name: blanks and tabs as '_', then ".tak".
KString TakeFileName(const KString& take) {
    std::string name(take.Buffer());
    for (char& c : name)
        if (c == ' ' || c == '\t') c = '_';
    return KString((name + ".tak").c_str());
}

bool IsUnset(const KTimeSpan& span) { return span.GetStart() == KTime(0) && span.GetStop() == KTime(0); }

// ---- Time warps ----------------------------------------------------------------------------------
//
// A take's warps are written once each in its "TimeWarps" block ("TW" number { "Channel" ... }),
// numbered from 1 in the order its records first name them, and each channel names its warp by
// that number ("TimeWarpID"), as the reader reads them. What no file holds where it is (a warp
// that a vector's axis channels say together beside none or the same of the vector, which the
// reader would make the vector's; a warp of the take's whole tree; a warp's own warp) is written
// baked into the curves it bends, in a copy of the tree: the scene keeps its own.

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodeCopy = std::unique_ptr<KFCurveNode, NodeDestroyer>;

// Whether a node a channel names as its warp holds a warp itself (its own, or below it).
bool HoldsWarp(const KFCurveNode& node) {
    if (node.TimeWarpGet()) return true;
    for (int i = 0; i < node.GetCount(); ++i)
        if (HoldsWarp(*node.Get(i))) return true;
    return node.LayerGet() && HoldsWarp(*node.LayerGet());
}

// Whether the tree (its layers included) holds warps that a vector's axis channels say together.
bool HoldsSharedAxisWarp(const KFCurveNode& node) {
    if (KFCurveNodeSharedAxisWarp(node)) return true;
    for (int i = 0; i < node.GetCount(); ++i)
        if (HoldsSharedAxisWarp(*node.Get(i))) return true;
    return node.LayerGet() && HoldsSharedAxisWarp(*node.LayerGet());
}

// Bakes the warps that a vector's axis channels hold together, each channel in its vector's time
// under the warps that read it (above, outermost first; the tree's, then its vector's own), which
// stay: take, the take's span. A layer is read at its base's time, each of a chain alike.
// cut: set where a channel plays more within the take than a bake takes (baked over its keys).
void BakeSharedAxisWarps(KFCurveNode& node, std::vector<KFCurveNode*>& above, const KTimeSpan& take, bool layers,
                         bool& cut) {
    KFCurveNode* own = node.TimeWarpGet();
    if (own) above.push_back(own);
    KFCurveBakeSpan span;
    span.mStart = take.GetStart(), span.mStop = take.GetStop();
    span.mReaders = above.data(), span.mReaderCount = static_cast<int>(above.size());
    span.mCut = &cut;
    KFCurveNodeBakeSharedAxisWarp(node, KFCURVE_GetPlotPeriod(), &span);
    for (int i = 0; i < node.GetCount(); ++i) BakeSharedAxisWarps(*node.Get(i), above, take, true, cut);
    if (own) above.pop_back();
    if (!layers) return;
    // The layers are read at the node's time, after its own warp.
    if (own) above.push_back(own);
    for (KFCurveNode* layer = node.LayerGet(); layer; layer = layer->LayerGet())
        BakeSharedAxisWarps(*layer, above, take, false, cut);
    if (own) above.pop_back();
}

// The warps the tree names, in the order met (a shared one each time).
void NamedWarps(const KFCurveNode& node, std::vector<KFCurveNode*>& warps) {
    if (KFCurveNode* warp = node.TimeWarpGet()) warps.push_back(warp);
    for (int i = 0; i < node.GetCount(); ++i) NamedWarps(*node.Get(i), warps);
    if (const KFCurveNode* layer = node.LayerGet()) NamedWarps(*layer, warps);
}

// The take node of that name an object's record stores (none for the default take).
KZeqTakeNode* StoredTakeNode(KZeqTakeNodeContainer& object, const char* take) {
    const int index = object.FindTakeNode(take);
    KZeqTakeNode* node = index >= 0 ? object.GetTakeNode(index) : nullptr;
    return node != object.GetDefaultTakeNode() ? node : nullptr;
}

// The objects whose records a take holds, in the order they are written.
template <class Visit>
void ForEachTakeObject(KZeqScene& scene, bool before6, Visit visit) {
    if (KZeqNode* switcher = scene.GetCameraSwitcher()) visit(*switcher, static_cast<KZeqNode*>(switcher));
    std::vector<KZeqNode*> pending;
    if (KZeqNode* root = scene.GetRootNode())
        for (int i = root->GetChildCount(); i-- > 0;) pending.push_back(root->GetChild(i));
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        visit(*node, node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
    for (int i = 0; !before6 && i < scene.GetGenericNodeCount(); ++i)
        if (KZeqGenericNode* generic = scene.GetGenericNode(i)) visit(*generic, static_cast<KZeqNode*>(nullptr));
    if (KZeqEntity* entity = scene.GetEntity()) {
        for (int i = 0; i < entity->GetTextureCount(); ++i) visit(*entity->GetTexture(i), static_cast<KZeqNode*>(nullptr));
        for (int i = 0; i < entity->GetMaterialCount(); ++i) visit(*entity->GetMaterial(i), static_cast<KZeqNode*>(nullptr));
    }
}

// Whether any take of the objects a take's records hold has a time warp: most scenes have none.
bool TakesHoldWarps(KZeqScene& scene, bool before6) {
    bool warped = false;
    ForEachTakeObject(scene, before6, [&warped](KZeqTakeNodeContainer& object, const KZeqNode*) {
        for (int i = 0; !warped && i < object.GetTakeNodeCount(); ++i) {
            const KFCurveNode* tree = object.GetTakeNode(i)->GetMadeKFCurveNode();
            warped = tree && HoldsWarp(*tree);
        }
    });
    return warped;
}

// The switcher's record name, apart from a model below the root of its name ("Camera Switcher").
KString SwitcherTakeName(const KZeqNode* switcher, const KZeqNode* root) {
    if (!switcher) return KString();
    std::unordered_set<std::string_view> models;
    std::vector<const KZeqNode*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        const KZeqNode* node = pending.back();
        pending.pop_back();
        if (node != root) models.emplace(node->GetName());
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
    return ZeqNameApart(switcher->GetName(), [&models](const char* name) { return models.count(name) > 0; });
}

}  // namespace

// The numbers of the take's warps, installed for curve storage while its records are written, and
// the copies its records store in place of trees holding warps no file holds where they are.
struct KZeqWriterZeqBase::TakeWarps {
    explicit TakeWarps(KZeqWriterZeqBase& writer)
        : mWriter(writer), mPrevious(KFCurve_GetTWSet()), mPreviousNumbers(KFCurve_GetTWNumbers()) {
        writer.mTakeWarps = this;
    }
    ~TakeWarps() {
        KFCurve_SetTWSet(mPrevious, mPreviousNumbers);
        mWriter.mTakeWarps = nullptr;
    }
    TakeWarps(const TakeWarps&) = delete;
    TakeWarps& operator=(const TakeWarps&) = delete;

    KZeqWriterZeqBase& mWriter;
    KSet* mPrevious;
    const KFCurveTWNumbers* mPreviousNumbers;
    KSet mNumbers{20};
    KFCurveTWNumbers mNumberOf;  // of mNumbers, once they are all in
    std::unordered_map<const KZeqTakeNode*, NodeCopy> mCopies;
};

void KZeqWriterZeqBase::NoteBakedWarp(const char* where, const char* take) {
    if (mBakedWarps++ == 0) mFirstBakedWarp = KString(where) + " in take \"" + take + "\"";
}

void KZeqWriterZeqBase::WriteTimeWarps(KZeqScene& scene, const char* take, const KTimeSpan& span) {
    KZeq& file = *mFile;
    const bool before6 = mFile->IsBeforeVersion6();
    std::vector<KFCurveNode*> named;
    std::unordered_set<KFCurveNode*> seen;
    ForEachTakeObject(scene, before6, [&](KZeqTakeNodeContainer& object, const KZeqNode* model) {
        // A deferred tree holds the standard channels alone, without warps.
        KZeqTakeNode* node = StoredTakeNode(object, take);
        KFCurveNode* tree = node ? node->GetMadeKFCurveNode() : nullptr;
        std::vector<KFCurveNode*> warps;
        if (tree) NamedWarps(*tree, warps);
        if (warps.empty()) return;
        const bool whole = tree->TimeWarpGet() != nullptr;
        if (whole || HoldsSharedAxisWarp(*tree)) {
            NodeCopy copy(KFCurveNodeCopyWhole(*tree));
            std::vector<KFCurveNode*> above;
            bool cut = false;
            if (whole)
                cut = ZeqMergeTakeTree(copy.get(), model, &span);
            else
                BakeSharedAxisWarps(*copy, above, span, true, cut);
            NoteBakedWarp(object.GetName(), take);
            if (cut && mCutBakes++ == 0) mFirstCutBake = KString(object.GetName()) + " in take \"" + take + "\"";
            warps.clear();
            NamedWarps(*copy, warps);
            mTakeWarps->mCopies[node] = std::move(copy);
        }
        for (KFCurveNode* warp : warps)
            if (seen.insert(warp).second) named.push_back(warp);
    });
    if (named.empty()) return;
    ZeqWriteBlockBegin(file, "TimeWarps");
    ZeqWriteFieldI(file, "Version", 100);
    for (std::size_t i = 0; i < named.size(); ++i) {
        KFCurveNode* warp = named[i];
        const int number = static_cast<int>(i) + 1;
        NodeCopy baked;
        if (HoldsWarp(*warp)) {
            baked.reset(KFCurveNodeCopyWhole(*warp));
            KFCurveNodeBake(baked.get(), nullptr, 0, KFCURVE_GetPlotPeriod());
            NoteBakedWarp("a time warp", take);
        }
        file.FieldWriteBegin("TW");
        file.FieldWriteI(number);
        file.FieldWriteBlockBegin();
        (baked ? baked.get() : warp)->ZeqStore(&file, false, true, true, "Channel", false, before6);
        ZeqWriteBlockEnd(file);
        mTakeWarps->mNumbers.Add(static_cast<unsigned int>(number), reinterpret_cast<kReference>(warp));
    }
    ZeqWriteBlockEnd(file);
    mTakeWarps->mNumberOf = KFCurve_TWNumbersOf(mTakeWarps->mNumbers);
    KFCurve_SetTWSet(&mTakeWarps->mNumbers, &mTakeWarps->mNumberOf);
}

bool KZeqWriterZeqBase::WriteAnimation(KZeqScene& scene) {
    KZeq& file = *mFile;
    mBakedWarps = 0;
    mCutBakes = 0;
    const bool before6 = mFile->IsBeforeVersion6();
    const KString current = scene.GetCurrentTakeName();
    KZeqEntity* entity = scene.GetEntity();
    KZeqNode* root = scene.GetRootNode();
    const int textures = entity ? entity->GetTextureCount() : 0, materials = entity ? entity->GetMaterialCount() : 0;
    // Every node below the root, so that percentages stay within 100.
    const int nodes = root ? ZeqCountNodesBelow(*root) : 0;
    WriteSectionComment(file, "Takes and animation section");
    ZeqWriteBlockBegin(file, "Takes");
    ZeqWriteFieldC(file, "Current", current.Buffer());
    KArrayTemplate<KString*> names;
    scene.FillTakeNameArray(names);
    bool moved = false;
    const KString switcherName = SwitcherTakeName(scene.GetCameraSwitcher(), root);
    const bool warped = TakesHoldWarps(scene, before6);
    for (int n = 0; n < names.GetCount(); ++n) {
        const KString name = *names[n];
        if (name == "Default") continue;
        // Records are read and stored whole by name, never taken out to be changed: a record taken
        // out is compared on every later search, and the takes would cost n^2.
        if (!scene.GetTakeInfoConst(name)) {
            KZeqTakeInfo fresh;
            fresh.mName = name;
            scene.SetTakeInfo(fresh);
        }
        const KZeqTakeInfo* info = scene.GetTakeInfoConst(name);
        if (!info || !info->mSelect) continue;
        mProgressMessage = KString("Storing take ") + name;
        mExporter.ProgressUpdate(nullptr, mProgressMessage.Buffer(), nullptr, 0.0f);
        mProgressCounter = 0;
        mProgressTotal = nodes + textures + materials;
        ZeqWriteBlockBegin(file, "Take", name.Buffer());
        ZeqWriteFieldC(file, "FileName", TakeFileName(name).Buffer());
        if (IsUnset(info->mLocalTimeSpan) || IsUnset(info->mReferenceTimeSpan)) {
            scene.SetCurrentTake(name.Buffer());
            moved = true;
            KTime start = KTime::Infinite(), stop = KTime::MinusInfinite();
            if (KZeqNode* switcher = scene.GetCameraSwitcher()) switcher->GetAnimationInterval(start, stop);
            if (root) root->GetAnimationInterval(start, stop);
            if (start > stop) start = KTime(0), stop.SetTime(0, 0, 1);
            KZeqTakeInfo spans = *info;
            for (KTimeSpan* span : {&spans.mLocalTimeSpan, &spans.mReferenceTimeSpan})
                if (IsUnset(*span)) span->Set(start, stop);
            scene.SetTakeInfo(spans);  // into the record info points to
        }
        ZeqWriteFieldTS(file, "LocalTime", info->mLocalTimeSpan);
        ZeqWriteFieldTS(file, "ReferenceTime", info->mReferenceTimeSpan);
        if (!info->mDescription.IsEmpty()) ZeqWriteFieldC(file, "Comments", info->mDescription.Buffer());
        if (info->GetTakeThumbnail()) WriteThumbnail(info->GetTakeThumbnail());
        TakeWarps warps(*this);
        if (warped) WriteTimeWarps(scene, name.Buffer(), info->mLocalTimeSpan);
        WriteSectionComment(file, "Models animation");
        if (KZeqNode* switcher = scene.GetCameraSwitcher())
            WriteTakeNode(*switcher, name.Buffer(), "Model", false, switcherName.Buffer());
        if (root) WriteAnimation(*root, name.Buffer());
        // Generic nodes are objects of version 6 only.
        for (int i = 0; !before6 && i < scene.GetGenericNodeCount(); ++i)
            if (KZeqGenericNode* generic = scene.GetGenericNode(i)) WriteTakeNode(*generic, name.Buffer(), "GenericNode", false);
        auto progress = [this] {
            mExporter.ProgressUpdate(nullptr, mProgressMessage.Buffer(), nullptr,
                                     static_cast<float>(mProgressCounter) * 100.0f / static_cast<float>(mProgressTotal));
            ++mProgressCounter;
        };
        WriteSectionComment(file, "Textures animation");
        for (int i = 0; i < textures; ++i) progress(), WriteTakeNode(*entity->GetTexture(i), name.Buffer(), "Texture", false);
        WriteSectionComment(file, "Materials animation");
        for (int i = 0; i < materials; ++i) progress(), WriteTakeNode(*entity->GetMaterial(i), name.Buffer(), "Material", true);
        ZeqWriteBlockEnd(file);
        KGetGlobalProgress()->UpdateSection();
    }
    ZeqWriteBlockEnd(file);
    if (mBakedWarps > 0)
        mMessage += KString("Time warps that no Zeq file holds where they are (one that a vector's axis channels hold "
                            "with none or the same on the vector; one on a take's whole animation; one on a time warp) "
                            "are written baked into the curves they bend: ") +
                    mFirstBakedWarp +
                    (mBakedWarps > 1 ? KString(" and ") + KString(mBakedWarps - 1) + " more." : KString(".")) + "\n";
    if (mCutBakes > 0)
        mMessage += KString("Of those, the animation of ") + mFirstCutBake +
                    (mCutBakes > 1 ? KString(" (and of ") + KString(mCutBakes - 1) + " more)" : KString()) +
                    " plays more within its take's span than a bake takes (over ten million samples: a curve or a "
                    "time warp cycling or keeping its slope past its keys): it is baked over its keys alone.\n";
    for (int i = 0; i < names.GetCount(); ++i) delete names[i];
    // Spans were computed on their takes; the scene goes back to its own.
    if (moved) scene.SetCurrentTake(current.Buffer());
    return true;
}

bool KZeqWriterZeqBase::WriteAnimation(KZeqNode& node, const char* take) {
    // Parent before children, on a stack of its own: trees may be deep.
    std::vector<KZeqNode*> pending{&node};
    while (!pending.empty()) {
        KZeqNode* at = pending.back();
        pending.pop_back();
        const float percent =
            mProgressTotal > 0 ? static_cast<float>(mProgressCounter) * 100.0f / static_cast<float>(mProgressTotal) : 0.0f;
        mExporter.ProgressUpdate(nullptr, mProgressMessage.Buffer(), nullptr, percent);
        ++mProgressCounter;
        if (at != &node) WriteTakeNode(*at, take, "Model", false);
        for (int i = at->GetChildCount(); i-- > 0;) pending.push_back(at->GetChild(i));
    }
    return true;
}

bool KZeqWriterZeqBase::WriteTakeNode(KZeqTakeNodeContainer& object, const char* take, const char* fieldName,
                                      bool material, const char* recordName) {
    if (!object.SetCurrentTakeNode(take)) return false;
    KZeq& file = *mFile;
    const bool before6 = mFile->IsBeforeVersion6();
    ZeqWriteBlockBegin(file, fieldName, recordName ? recordName : object.GetName());
    file.FieldWriteBegin("Version") && file.FieldWriteD(1.1) && file.FieldWriteEnd();
    KZeqTakeNode* node = object.GetCurrentTakeNode();
    if (node && node != object.GetDefaultTakeNode()) {
        // A tree holding warps no file holds where they are is written from its baked copy.
        KFCurveNode* copy = nullptr;
        if (mTakeWarps) {
            const auto found = mTakeWarps->mCopies.find(node);
            if (found != mTakeWarps->mCopies.end()) copy = found->second.get();
        }
        // Before version 6 shininess keys are written a hundred times larger;
        // the curve is put back exactly afterwards.
        KFCurveNode* shininessNode = copy && material && before6 ? copy->FindRecursive("Shininess") : nullptr;
        KFCurve* shininess = !material || !before6 ? nullptr
                             : copy               ? (shininessNode ? shininessNode->FCurveGet() : nullptr)
                                                  : node->GetMaterialShininess();
        std::unique_ptr<KFCurve, void (*)(KFCurve*)> kept(nullptr, [](KFCurve* curve) { curve->Destroy(); });
        if (shininess) {
            kept.reset(KFCurveCreate());
            kept->CopyFrom(*shininess, true);
            shininess->KeyScaleValueAndTangeant(false, 100.0f);
        }
        if (copy)
            for (int i = 0; i < copy->GetCount(); ++i)
                copy->Get(i)->ZeqStore(mFile, false, true, true, "Channel", true, before6);
        else
            node->StoreChannels(mFile, false, true, true, true, before6);
        if (shininess) shininess->CopyFrom(*kept, true);
    }
    ZeqWriteBlockEnd(file);
    return true;
}

bool ZeqWriteTakes(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteAnimation(scene); }

}  // namespace zeqsdk_400
