#include "character/kzeqcharacterpose.h"

#include <vector>

#include "character/kzeqcharacter.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqfilterset.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// The first node below root, depth first, named as node; null when none.
KZeqNode* Match(KZeqNode* root, const KZeqNode* node) {
    return root && node ? root->FindChild(node->GetName(), true, false) : nullptr;
}

}  // namespace

KZeqCharacterPose::KZeqCharacterPose(KZeqSdkManager& manager, const char* name)
    : KZeqObject(manager, name), mPoseScene(manager.CreateKZeqScene()) {
    Reset();
}

KZeqCharacterPose::~KZeqCharacterPose() {
    if (mPoseScene) GetSdkManager().DestroyKZeqScene(mPoseScene, true);
    mPoseScene = nullptr;
}

void KZeqCharacterPose::Reset() {
    if (!mPoseScene) return;
    mPoseScene->Clear();
    mPoseScene->CreateCharacter("PoseCharacter");
}

KZeqNode* KZeqCharacterPose::GetRootNode() const { return mPoseScene ? mPoseScene->GetRootNode() : nullptr; }

KZeqCharacter* KZeqCharacterPose::GetCharacter() const { return mPoseScene ? mPoseScene->GetCharacter(0) : nullptr; }

KZeqCharacterPose& KZeqCharacterPose::operator=(KZeqCharacterPose& source) {
    if (this == &source) return *this;
    KZeqObject::operator=(source);
    CopyNode(source.GetRootNode(), GetRootNode());
    CopyCharacter(source.GetCharacter(), GetCharacter(), GetRootNode());
    return *this;
}

void KZeqCharacterPose::CopyNode(KZeqNode* source, KZeqNode* destination) {
    if (!source || !destination) return;
    // The subtree is read whole first, so that a destination inside it does
    // not see its own copies, and then copied node before children.
    struct Item {
        KZeqNode* mSource;
        int mParent;  // index of the parent's item, -1 for a child of source
    };
    std::vector<Item> items;
    for (int i = source->GetChildCount(); i-- > 0;) items.push_back({source->GetChild(i), -1});
    std::vector<Item> order;
    while (!items.empty()) {
        const Item item = items.back();
        items.pop_back();
        const int index = static_cast<int>(order.size());
        order.push_back(item);
        for (int i = item.mSource->GetChildCount(); i-- > 0;) items.push_back({item.mSource->GetChild(i), index});
    }
    KZeqSdkManager& manager = GetSdkManager();
    std::vector<KZeqNode*> copies(order.size(), nullptr);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Item& item = order[i];
        KZeqNode* parent = item.mParent < 0 ? destination : copies[static_cast<std::size_t>(item.mParent)];
        if (!parent) continue;  // its parent could not be made
        KZeqNode* copy = manager.CreateKZeqNode(item.mSource->GetName());
        if (!copy) continue;
        *copy = *item.mSource;
        if (!parent->AddChild(copy)) {
            manager.DestroyKZeqNode(copy, true);
            continue;
        }
        copies[i] = copy;
    }
}

void KZeqCharacterPose::CopyCharacter(KZeqCharacter* source, KZeqCharacter* destination, KZeqNode* root) {
    if (!source || !destination) return;
    destination->SetInput(source->GetInputType(), source->GetInputObject());

    KZeqCharacterLink link;
    for (int i = 0; i < kCharacterNodeIdCount; ++i) {
        const auto id = static_cast<ECharacterNodeId>(i);
        if (!source->GetCharacterLink(id, &link) || !link.mNode) continue;
        KZeqNode* match = Match(root, link.mNode);
        if (!match) continue;
        KZeqCharacterLink fresh;
        fresh.mNode = match;
        fresh.mOffsetT = link.mOffsetT;
        fresh.mOffsetR = link.mOffsetR;
        fresh.mOffsetS = link.mOffsetS;
        destination->SetCharacterLink(id, fresh, true);
    }

    const KZeqFilterSet& from = *source->GetFilterSet();
    KZeqFilterSet& to = *destination->GetFilterSet();
    for (int i = 0; i < from.GetParameterCount(); ++i) {
        const int j = to.GetParameterIndex(from.GetParameterName(i));
        if (j < 0) continue;
        to.SetParameterMode(j, from.GetParameterMode(i));
        to.SetParameterValue(j, from.GetParameterValue(i, 0), 0);
        if (from.GetParameterValueType(i) == 1)
            for (int component = 1; component < 3; ++component)
                to.SetParameterValue(j, from.GetParameterValue(i, component), component);
        to.SetParameterMinValue(j, from.GetParameterMinValue(i));
        to.SetParameterMaxValue(j, from.GetParameterMaxValue(i));
    }

    const KZeqControlSet& fromSet = *source->GetControlSet();
    KZeqControlSet& toSet = *destination->GetControlSet();
    toSet.SetType(fromSet.GetType());
    toSet.SetLockTransform(fromSet.GetLockTransform());
    toSet.SetLock3DPick(fromSet.GetLock3DPick());
    KZeqControlSetLink controlLink;
    for (int i = 0; i < kCharacterNodeIdCount; ++i) {
        const auto id = static_cast<ECharacterNodeId>(i);
        if (!fromSet.GetControlSetLink(id, &controlLink)) continue;
        // Stored even without a match: the link keeps its name alone then.
        if (controlLink.mNode) controlLink.mNode = Match(root, controlLink.mNode);
        toSet.SetControlSetLink(id, controlLink);
    }
    KZeqEffector effector;
    for (int i = 0; i < kEffectorNodeIdCount; ++i) {
        const auto id = static_cast<EEffectorNodeId>(i);
        if (!fromSet.GetEffector(id, &effector)) continue;
        if (KZeqNode* match = Match(root, effector.mNode)) {
            effector.mNode = match;
            toSet.SetEffector(id, effector);
        }
    }
    KZeqNode* aux = nullptr;
    for (int i = 0; i < kEffectorNodeIdCount; ++i) {
        const auto id = static_cast<EEffectorNodeId>(i);
        if (!fromSet.GetEffectorAux(id, &aux, eEffectorSetFirst) || !aux) continue;
        if (KZeqNode* match = Match(root, aux)) toSet.SetEffectorAux(id, match, eEffectorSetFirst);
    }
}

}  // namespace zeqsdk_400
