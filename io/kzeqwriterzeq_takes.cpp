// The "Takes" section as both Zeq writers write it: per selected take its
// information, then one take-node record per animated object (the switcher,
// the nodes below the root, from version 6 the generic nodes, the textures
// and the materials).

#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "content/kzeqgenericnode.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
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

bool KZeqWriterZeqBase::WriteAnimation(KZeqScene& scene) {
    KZeq& file = *mFile;
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
        // Before version 6 shininess keys are written a hundred times larger;
        // the curve is put back exactly afterwards.
        KFCurve* shininess = material && before6 ? node->GetMaterialShininess() : nullptr;
        std::unique_ptr<KFCurve, void (*)(KFCurve*)> kept(nullptr, [](KFCurve* curve) { curve->Destroy(); });
        if (shininess) {
            kept.reset(KFCurveCreate());
            kept->CopyFrom(*shininess, true);
            shininess->KeyScaleValueAndTangeant(false, 100.0f);
        }
        node->StoreChannels(mFile, false, true, true, true, before6);
        if (shininess) shininess->CopyFrom(*kept, true);
    }
    ZeqWriteBlockEnd(file);
    return true;
}

bool ZeqWriteTakes(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteAnimation(scene); }

}  // namespace zeqsdk_400
