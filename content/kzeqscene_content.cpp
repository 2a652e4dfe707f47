// The scene's life (construction, clearing, destruction), its take operations
// over every animated object, and its generic nodes and deformers: the parts
// that need the content kinds.
#include <cstddef>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "content/kzeqcameraswitcher.h"
#include "content/kzeqdeformer.h"
#include "content/kzeqgenericnode.h"
#include "content/kzeqglobalcamerasettings.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

namespace {
const char* const kErrorTable[KZeqScene::eErrorCount] = {"Take error."};
constexpr const char* kSwitcherName = "Camera Switcher";
}  // namespace

KZeqScene::KZeqScene(KZeqSdkManager& manager) : mManager(manager), mError(kErrorTable, eErrorCount) {
    mEntity.reset(new KZeqEntity(manager));
    // Outside the root and the entity: the switcher is no part of the content.
    mCameraSwitcher = manager.CreateKZeqNode(kSwitcherName);
    if (mCameraSwitcher) {
        mCameraSwitcher->SetVisibility(false);
        mCameraSwitcher->SetShadingMode(KZeqNode::eWIRE_FRAME);
        mSwitcherAttribute = new KZeqCameraSwitcher(manager);
        mCameraSwitcher->SetNodeAttribute(mSwitcherAttribute);
    }
    mLightSettings.reset(new KZeqGlobalLightSettings);
    mCameraSettings.reset(new KZeqGlobalCameraSettings(manager, *this));
    mTimeSettings.reset(new KZeqGlobalTimeSettings);
}

KZeqScene::~KZeqScene() {
    mEntity.reset();
    // The switcher leaves its node as it ends.
    delete mSwitcherAttribute;
    mSwitcherAttribute = nullptr;
    if (mCameraSwitcher) mManager.DestroyKZeqNode(mCameraSwitcher, false);
    mCameraSwitcher = nullptr;
    DestroySceneInfo();
    DestroyCharacterObjects();
    mPoses.clear();
    mLightSettings.reset();
    mCameraSettings.reset();
    mTimeSettings.reset();
    DeleteTakeInfos();
}

void KZeqScene::Clear() {
    if (KZeqNode* root = GetRootNode()) {
        // Last child first, as taken out one by one; the children are read
        // once per pass, not once per child. The take trees of childless ones
        // are read a few at a time, as when a subtree ends.
        constexpr std::ptrdiff_t kReadAhead = 4;
        std::vector<KZeqNode*> children;
        std::vector<KZeqTakeNodeContainer*> ahead;
        while (root->GetChildCount() > 0) {
            children.clear();
            for (int i = 0; i < root->GetChildCount(); ++i) children.push_back(root->GetChild(i));
            for (auto child = children.rbegin(); child != children.rend(); ++child) {
                if ((child - children.rbegin()) % kReadAhead == 0) {
                    ahead.clear();
                    for (auto next = child; next != children.rend() && next - child < kReadAhead; ++next)
                        if ((*next)->GetChildCount() == 0) ahead.push_back(*next);
                    KZeqTakeNodeContainer::ReadTakesAhead(ahead.data(), ahead.size());
                }
                root->RemoveChild(*child);
                mManager.DestroyKZeqNode(*child, true);
            }
        }
        while (root->GetTakeNodeCount() > 1) root->RemoveTakeNode(root->GetTakeNodeCount() - 1);
    }
    if (mCameraSwitcher) {
        mCameraSwitcher->SetName(kSwitcherName);
        mCameraSwitcher->SetVisibility(false);
        mCameraSwitcher->SetShadingMode(KZeqNode::eWIRE_FRAME);
        if (KZeqCameraSwitcher* switcher = mCameraSwitcher->GetCameraSwitcher()) switcher->SetDefaultCameraIndex(0);
        while (mCameraSwitcher->GetTakeNodeCount() > 1)
            mCameraSwitcher->RemoveTakeNode(mCameraSwitcher->GetTakeNodeCount() - 1);
    }
    DestroySceneInfo();
    DestroyCharacterObjects();
    mPoses.clear();
    while (mEntity->GetGenericNodeCount() > 0) {
        KZeqGenericNode* node = mEntity->GetGenericNode(0);
        RemoveGenericNode(node);
        // References added to the entity directly go too: it must not list
        // a node that is about to end.
        while (mEntity->GetGenericNodeCount() > 0 && mEntity->GetGenericNode(0) == node)
            mEntity->RemoveGenericNode(node);
        mManager.DestroyKZeqGenericNode(node);
    }
    mLightSettings->RestoreDefaultSettings();
    mCameraSettings->RestoreDefaultSettings();
    mTimeSettings->RestoreDefaultSettings();
    mCurrentTakeName = "";
    DeleteTakeInfos();
}

// ---- Generic nodes and deformers -----------------------------------------------------------

bool KZeqScene::AddGenericNode(KZeqGenericNode* node) { return node && node->SetEntity(mEntity.get()); }

bool KZeqScene::RemoveGenericNode(KZeqGenericNode* node) { return node && node->SetEntity(nullptr); }

bool KZeqScene::AddDeformer(KZeqDeformer* deformer) { return deformer && deformer->SetEntity(mEntity.get()); }

bool KZeqScene::RemoveDeformer(KZeqDeformer* deformer) {
    if (!deformer) return false;
    if (deformer->GetEntity() == mEntity.get()) return deformer->SetEntity(nullptr);
    return mEntity->RemoveDeformer(deformer);
}

// ---- Takes -----------------------------------------------------------------------------------

template <class Visit>
void KZeqScene::VisitTakeContainers(bool genericNodes, Visit visit) {
    if (mCameraSwitcher) visit(static_cast<KZeqTakeNodeContainer&>(*mCameraSwitcher));
    KZeqEntity& entity = *mEntity;
    for (int i = 0; i < entity.GetNodeCount(); ++i) visit(static_cast<KZeqTakeNodeContainer&>(*entity.GetNode(i)));
    for (int i = 0; i < entity.GetTextureCount(); ++i)
        visit(static_cast<KZeqTakeNodeContainer&>(*entity.GetTexture(i)));
    for (int i = 0; i < entity.GetMaterialCount(); ++i)
        visit(static_cast<KZeqTakeNodeContainer&>(*entity.GetMaterial(i)));
    if (!genericNodes) return;
    for (int i = 0; i < entity.GetGenericNodeCount(); ++i)
        visit(static_cast<KZeqTakeNodeContainer&>(*entity.GetGenericNode(i)));
}

void KZeqScene::FillTakeNameArray(KArrayTemplate<KString*>& names) {
    for (int i = names.GetCount(); i-- > 0;) delete names[i];
    names.Clear();
    // Views of the strings handed out, which stay where they are.
    std::unordered_set<std::string_view> seen;
    VisitTakeContainers(true, [&](KZeqTakeNodeContainer& container) {
        for (int i = 0; i < container.GetTakeNodeCount(); ++i) {
            const char* name = container.GetTakeNodeName(i);
            // Most objects list the scene's takes in the same order: no hashing then.
            if (!name || (i < names.GetCount() && *names[i] == name) || seen.count(name))
                continue;
            auto* copy = new KString(name);
            names.Add(copy);
            seen.insert(std::string_view(copy->Buffer(), static_cast<std::size_t>(copy->GetLen())));
        }
    });
}

bool KZeqScene::FindTakeName(const KString& name) {
    bool found = false;
    // A name holding a zero byte is no take's: take names are texts.
    if (std::strlen(name.Buffer()) != name.GetLen()) return false;
    VisitTakeContainers(true, [&](KZeqTakeNodeContainer& container) {
        found = found || container.FindTakeNode(name.Buffer()) >= 0;
    });
    return found;
}

bool KZeqScene::SetCurrentTake(const char* name) {
    mCurrentTakeName = name ? name : "";
    bool result = true;
    VisitTakeContainers(true, [&](KZeqTakeNodeContainer& container) {
        if (!container.SetCurrentTakeNode(name)) result = false;
    });
    if (!result)
        mError.SetLastError(eTakeError, KString("Not all nodes have a take node called ") + (name ? name : ""));
    return result;
}

bool KZeqScene::CreateTake(const char* name) {
    bool result = true;
    VisitTakeContainers(false, [&](KZeqTakeNodeContainer& container) {
        if (!container.CreateTakeNode(name)) result = false;
    });
    if (!result)
        mError.SetLastError(eTakeError, KString("At least one node, texture or material already has a take called ") +
                                            (name ? name : ""));
    return result;
}

bool KZeqScene::RemoveTake(const char* name) {
    bool result = true;
    VisitTakeContainers(false, [&](KZeqTakeNodeContainer& container) {
        if (!container.RemoveTakeNode(name)) result = false;
    });
    if (!result)
        mError.SetLastError(eTakeError,
                            KString("Not all nodes, textures and materials have a take called ") + (name ? name : ""));
    return result;
}

}  // namespace zeqsdk_400
