#include "scene/kzeqnodefinder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

KArrayTemplate<KZeqNode*>& KZeqNodeFinder::Apply(KZeqNode& root) {
    mRootNode = &root;
    ApplyRecursive(root);
    return mFoundNodes;
}

void KZeqNodeFinder::ApplyRecursive(KZeqNode& node) {
    // A node, then its children's subtrees in order, on a stack of its own:
    // no depth of tree exhausts the call stack.
    std::vector<KZeqNode*> pending{&node};
    while (!pending.empty()) {
        KZeqNode* next = pending.back();
        pending.pop_back();
        if (CheckNode(*next)) mFoundNodes.Add(next);
        for (int i = next->GetChildCount(); i-- > 0;)
            if (KZeqNode* child = next->GetChild(i)) pending.push_back(child);
    }
}

// ---- Bad scale ---------------------------------------------------------------------------

KZeqNodeFinderBadScale::KZeqNodeFinderBadScale() { mPeriod.SetSecondDouble(1.0 / 24.0); }

void KZeqNodeFinderBadScale::Reset() {
    for (auto* array : {&mBoneScaleStatic, &mBoneScaleAnimated, &mNegativeScaleStatic, &mNegativeScaleAnimated,
                        &mNonUniformScaleStatic, &mNonUniformScaleAnimated})
        array->Clear();
    KZeqNodeFinder::Reset();
}

KZeqNodeFinderBadScale::ECode KZeqNodeFinderBadScale::CheckValue(const double* values, int count) const {
    if (count <= 0) return eNone;
    const double first = values[0];
    for (int i = 0; i < count && i < 3; ++i) {
        const double v = values[i];
        if (mCheckBoneScale && (v < 1.0 - mEpsilon || v > 1.0 + mEpsilon)) return eBoneScale;
        if (mCheckNegativeScale && v < 0.0) return eNegativeScale;
        if (mCheckNonUniformScale && (v < first - mEpsilon || v > first + mEpsilon)) return eNonUniformScale;
    }
    return eNone;
}

void KZeqNodeFinderBadScale::GetCurve(KFCurveNode* root, KFCurve* curves[3]) const {
    curves[0] = curves[1] = curves[2] = nullptr;
    KFCurveNode* scaling = root ? root->FindRecursive("S") : nullptr;
    if (!scaling) return;
    const char* axes[3] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i)
        if (KFCurveNode* axis = scaling->FindRecursive(axes[i])) curves[i] = axis->FCurveGet();
}

namespace {
// Whether any of the scaling curves holds keys: only then is the scaling animated.
bool AnyKeys(KFCurve* const curves[3]) {
    for (int i = 0; i < 3; ++i)
        if (curves[i] && curves[i]->KeyGetCount() > 0) return true;
    return false;
}
}  // namespace

KZeqNodeFinderBadScale::ECode KZeqNodeFinderBadScale::CheckCurve(KFCurve* curves[3]) const {
    double values[3];
    int count = 0;
    // A keyed curve's value without keys counts nowhere: the samples stand for it.
    if (!AnyKeys(curves)) {
        for (int i = 0; i < 3; ++i)
            if (curves[i]) values[count++] = curves[i]->GetValue();
        return CheckValue(values, count);
    }

    KTime start = KTime::Infinite(), stop = KTime::MinusInfinite();
    for (int i = 0; i < 3; ++i) {
        KFCurve* curve = curves[i];
        if (!curve || curve->KeyGetCount() == 0) continue;
        if (curve->KeyGet(0).GetTime() < start) start = curve->KeyGet(0).GetTime();
        if (curve->KeyGet(curve->KeyGetCount() - 1).GetTime() > stop)
            stop = curve->KeyGet(curve->KeyGetCount() - 1).GetTime();
    }
    bool boneScale = false, nonUniform = false;
    int hints[3] = {0, 0, 0};
    // Every key counts, and every period from the first key to the last; where that would be more
    // than kMostFrames periods (keys hours apart, or at the ends of the time line), whole periods
    // far enough apart that the walk takes that many steps: a number in a file sets no length of
    // a walk.
    constexpr kULongLong kMostFrames = 1u << 20;
    const auto check = [&](KTime t) {
        count = 0;
        for (int i = 0; i < 3; ++i)
            if (curves[i]) values[count++] = curves[i]->Evaluate(t, &hints[i]);
        const ECode code = CheckValue(values, count);
        boneScale = boneScale || code == eBoneScale;
        nonUniform = nonUniform || code == eNonUniformScale;
        return code != eNegativeScale;
    };
    for (int i = 0; i < 3; ++i)
        for (int k = 0; curves[i] && k < curves[i]->KeyGetCount(); ++k)
            if (!check(curves[i]->KeyGetPtr(k)->GetTime())) return eNegativeScale;
    const kULongLong period = static_cast<kULongLong>(std::max<kLongLong>(mPeriod.Get(), 1));
    const kULongLong frames = (static_cast<kULongLong>(stop.Get()) - static_cast<kULongLong>(start.Get())) / period;
    const kULongLong step = frames < kMostFrames ? period : (frames / kMostFrames + 1) * period;
    for (KTime t = start; t <= stop;) {
        if (!check(t)) return eNegativeScale;
        // The last sample may lie within one step of the largest time.
        kLongLong next;
        if (__builtin_add_overflow(t.Get(), static_cast<kLongLong>(step), &next)) break;
        t = KTime(next);
    }
    return nonUniform ? eNonUniformScale : boneScale ? eBoneScale : eNone;
}

bool KZeqNodeFinderBadScale::CheckKFCurveNode(KZeqNode& node, KFCurveNode* root, KArrayTemplate<KZeqNode*>& bone,
                                              KArrayTemplate<KZeqNode*>& negative,
                                              KArrayTemplate<KZeqNode*>& nonUniform) {
    KFCurve* curves[3];
    GetCurve(root, curves);
    switch (CheckCurve(curves)) {
        case eBoneScale:
            if (node.GetChildCount() == 0) return false;
            bone.Add(&node);
            return true;
        case eNegativeScale:
            negative.Add(&node);
            return true;
        case eNonUniformScale:
            if (node.GetChildCount() == 0) return false;
            nonUniform.Add(&node);
            return true;
        default:
            return false;
    }
}

bool KZeqNodeFinderBadScale::CheckNode(KZeqNode& node) {
    const bool checkBones = mCheckBoneScale;
    KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    if (!attribute || attribute->GetAttributeType() != KZeqNodeAttribute::eSKELETON) mCheckBoneScale = false;
    KZeqTakeNode* defaultTake = node.GetDefaultTakeNode();
    const int current = node.GetCurrentTakeNodeIndex();
    KZeqTakeNode* currentTake = current >= 0 && current < node.GetTakeNodeCount() ? node.GetTakeNode(current) : nullptr;
    bool found = false;
    if (defaultTake)
        found = CheckKFCurveNode(node, defaultTake->GetKFCurveNode(), mBoneScaleStatic, mNegativeScaleStatic,
                                 mNonUniformScaleStatic);
    if (currentTake && currentTake != defaultTake) {
        // The take's scaling is animated only where its curves hold keys, whatever else of the node
        // it keys; without, it is a static one, said once.
        KFCurve* curves[3];
        GetCurve(currentTake->GetKFCurveNode(), curves);
        if (AnyKeys(curves))
            found = CheckKFCurveNode(node, currentTake->GetKFCurveNode(), mBoneScaleAnimated, mNegativeScaleAnimated,
                                     mNonUniformScaleAnimated) ||
                    found;
        else if (!found)
            found = CheckKFCurveNode(node, currentTake->GetKFCurveNode(), mBoneScaleStatic, mNegativeScaleStatic,
                                     mNonUniformScaleStatic);
    }
    mCheckBoneScale = checkBones;
    return found;
}

// ---- Duplicate names --------------------------------------------------------------------------

KZeqNodeFinderDuplicateName::KZeqNodeFinderDuplicateName(KZeqEntity* entity) : mEntity(entity) {}

void KZeqNodeFinderDuplicateName::Reset() {
    mNodes.Clear();
    mDuplicateNodes.Clear();
    mMaterials.Clear();
    mDuplicateMaterials.Clear();
    mTextures.Clear();
    mDuplicateTextures.Clear();
    mGobos.Clear();
    mDuplicateGobos.Clear();
    mGenericNodes.Clear();
    mDuplicateGenericNodes.Clear();
    mNodeSet.clear();
    mNodeNames.clear();
    mFirstNode = nullptr;
    KZeqNodeFinder::Reset();
}

bool KZeqNodeFinderDuplicateName::CheckNode(KZeqNode& node) {
    const bool nodeFound = CheckNodeName(node);
    return CheckContentNames(node) || nodeFound;
}

bool KZeqNodeFinderDuplicateName::CheckNodeName(KZeqNode& node) {
    if (!mStates[eNODE]) {
        mNodes.Add(&node);
        return false;
    }
    const char* name = node.GetName();
    KZeqNode* root = mEntity ? mEntity->GetRootNode() : nullptr;
    if (mNodeSet.empty() && !mFirstNode) {
        const bool found = root && root->FindChild(name, true, false);
        if (found) mDuplicateNodes.Add(&node);
        mFirstNode = &node;
        mNodes.Add(&node);
        return found;
    }
    if (mFirstNode) {
        mNodeSet.insert(mFirstNode);
        mNodeNames.insert(mFirstNode->GetName());
        mFirstNode = nullptr;
    }
    const bool found = (root && root->FindChild(name, true, false)) || mNodeNames.count(name) > 0;
    if (found) mDuplicateNodes.Add(&node);
    if (mNodeSet.insert(&node).second) {
        mNodes.Add(&node);
        mNodeNames.insert(name);
    }
    return found;
}

}  // namespace zeqsdk_400
