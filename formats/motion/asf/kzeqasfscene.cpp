#include "formats/motion/asf/kzeqasfscene.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/kstepcount.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqAsfScene, KObject, "KZeqAsfScene")

namespace {

void SetIdentity(KgeRMatrix& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
}

void CopyName(char* target, const char* name, int max) {
    std::snprintf(target, static_cast<std::size_t>(max) + 1, "%s", name ? name : "");
}

// Row vector times the 3x3 block.
KZeqVector4 MulRow(const KZeqVector4& v, const KgeRMatrix& m) {
    KZeqVector4 out;
    for (int j = 0; j < 3; ++j) out[j] = v[0] * m[0][j] + v[1] * m[1][j] + v[2] * m[2][j];
    return out;
}

KFCurveNode* ChildCurveNode(KFCurveNode* parent, const char* name) {
    if (!parent) return nullptr;
    const int index = parent->Find(name);
    return index >= 0 ? parent->Get(index) : nullptr;
}

// Values and, when given, curves X, Y, Z of a channel of the node's current take.
void FillChannel(KFCurveNode* channel, const double* values, KFCurve** curves) {
    if (!channel) return;
    double v[3] = {values[0], values[1], values[2]};
    channel->SetValue(v);
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    for (int axis = 0; axis < 3; ++axis) {
        if (!curves[axis]) continue;
        if (KFCurveNode* child = ChildCurveNode(channel, kAxes[axis])) {
            child->FCurveReplace(curves[axis]);
            curves[axis] = nullptr;
        }
    }
}

}  // namespace

// ---- Euler orders of dof lists -----------------------------------------------------------------

int EulerOrderFromOrderBuf(const int* dofs, int count) {
    // [last x 3 + second to last], axes 0 X, 1 Y, 2 Z.
    static const int kEulerOrderBuf[9] = {10, 10, 4, 8, 8, 2, 6, 0, 0};
    int last = 2;
    int second = 1;
    int found = 0;
    for (int i = count - 1; i >= 0 && found < 2; --i) {
        if (dofs[i] < eDofRZ || dofs[i] > eDofRX) continue;
        (found == 0 ? last : second) = 5 - dofs[i];
        ++found;
    }
    return kEulerOrderBuf[last * 3 + second];
}

void OrderVector(double* angles, int order) {
    // For each even order, the position in the order's sequence of the angle about X, Y and Z.
    static const int kPosition[6][3] = {{0, 1, 2}, {0, 2, 1}, {2, 0, 1}, {1, 0, 2}, {1, 2, 0}, {2, 1, 0}};
    if (order < 0 || order > 10 || order % 2 != 0) return;
    const int* position = kPosition[order / 2];
    const double in[3] = {angles[0], angles[1], angles[2]};
    for (int axis = 0; axis < 3; ++axis) angles[axis] = in[position[axis]];
}

// ---- KZeqAsfNode ------------------------------------------------------------------------------

KZeqAsfNode::KZeqAsfNode(const char* name) {
    SetName(name);
    SetIdentity(mAxisMatrix);
    SetIdentity(mInvAxisMatrix);
    SetIdentity(mParentAxisMatrix);
    SetIdentity(mParentInvAxisMatrix);
}

KZeqAsfNode::~KZeqAsfNode() {
    DeleteCurves();
    // The subtree is taken apart level by level, so that each child dies without children.
    std::vector<std::unique_ptr<KZeqAsfNode>> pending = std::move(mChildren);
    while (!pending.empty()) {
        std::unique_ptr<KZeqAsfNode> next = std::move(pending.back());
        pending.pop_back();
        for (auto& child : next->mChildren) pending.push_back(std::move(child));
        next->mChildren.clear();
    }
}

void KZeqAsfNode::SetName(const char* name) { CopyName(mName, name, kMaxNameLength); }

bool KZeqAsfNode::AddDof(int code) {
    if (mDofCount >= kMaxDof) return false;
    mDof[mDofCount++] = code;
    return true;
}

int KZeqAsfNode::TranslationDofCount() const {
    int count = 0;
    for (int i = 0; i < mDofCount; ++i) count += mDof[i] <= eDofTZ;
    return count;
}

int KZeqAsfNode::RotationDofCount() const {
    int count = 0;
    for (int i = 0; i < mDofCount; ++i) count += mDof[i] >= eDofRZ && mDof[i] <= eDofRX;
    return count;
}

KZeqAsfNode* KZeqAsfNode::Find(const char* name) {
    if (!name) return nullptr;
    std::vector<KZeqAsfNode*> pending{this};
    std::uint64_t steps = 0;
    KZeqAsfNode* found = nullptr;
    while (!pending.empty() && !found) {
        KZeqAsfNode* node = pending.back();
        pending.pop_back();
        ++steps;
        if (std::strcmp(node->mName, name) == 0) found = node;
        for (auto child = node->mChildren.rbegin(); child != node->mChildren.rend() && !found; ++child)
            pending.push_back(child->get());
    }
    KCountSteps(KStepKind::eSearch, steps);
    return found;
}

void KZeqAsfNode::AddChild(std::unique_ptr<KZeqAsfNode> child) {
    if (!child) return;
    child->mParent = this;
    mChildren.push_back(std::move(child));
}

std::unique_ptr<KZeqAsfNode> KZeqAsfNode::RemoveChild(KZeqAsfNode* child) {
    for (auto it = mChildren.begin(); it != mChildren.end(); ++it) {
        if (it->get() != child) continue;
        KCountSteps(KStepKind::eSearch, static_cast<std::uint64_t>(it - mChildren.begin()) + 1);
        std::unique_ptr<KZeqAsfNode> removed = std::move(*it);
        mChildren.erase(it);
        removed->mParent = nullptr;
        return removed;
    }
    return nullptr;
}

bool KZeqAsfNode::IsSelfOrAncestorOf(const KZeqAsfNode* node) const {
    std::uint64_t steps = 0;
    bool found = false;
    for (; node && !found; node = node->mParent, ++steps) found = node == this;
    KCountSteps(KStepKind::eWalk, steps);
    return found;
}

bool KZeqAsfNode::IsDeeperThan(int levels) const {
    int depth = 0;
    for (const KZeqAsfNode* node = mParent; node && depth <= levels; node = node->mParent) ++depth;
    KCountSteps(KStepKind::eWalk, static_cast<std::uint64_t>(depth));
    return depth > levels;
}

int KZeqAsfNode::GetHeight() const {
    int height = 0;
    std::vector<std::pair<const KZeqAsfNode*, int>> pending{{this, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > height) height = depth;
        for (const auto& child : node->mChildren) pending.emplace_back(child.get(), depth + 1);
    }
    return height;
}

// ---- KZeqAsfBoneIndex -------------------------------------------------------------------------

KZeqAsfBoneIndex::KZeqAsfBoneIndex(KZeqAsfNode& root) : mRoot(root) {
    // Depth first from the root, as its Find searches.
    std::vector<KZeqAsfNode*> pending{&root};
    while (!pending.empty()) {
        KZeqAsfNode* bone = pending.back();
        pending.pop_back();
        const auto [at, first] = mByName.emplace(std::string_view(bone->mName), bone);
        if (!first) at->second = nullptr;
        for (auto child = bone->mChildren.rbegin(); child != bone->mChildren.rend(); ++child)
            pending.push_back(child->get());
    }
    for (std::size_t i = 0; i < root.mChildren.size(); ++i) mPlaces[root.mChildren[i].get()] = i;
}

KZeqAsfBoneIndex::~KZeqAsfBoneIndex() { CloseGaps(); }

KZeqAsfNode* KZeqAsfBoneIndex::Find(const char* name) {
    KCountSteps(KStepKind::eSearch, 1);
    const auto found = mByName.find(std::string_view(name));
    if (found == mByName.end()) return nullptr;
    if (found->second) return found->second;
    CloseGaps();
    return mRoot.Find(name);
}

void KZeqAsfBoneIndex::Move(KZeqAsfNode& child, KZeqAsfNode& parent) {
    const auto place = mPlaces.find(&child);
    if (place == mPlaces.end()) return;
    std::unique_ptr<KZeqAsfNode> moved = std::move(mRoot.mChildren[place->second]);
    mPlaces.erase(place);
    mGaps = true;
    moved->mParent = nullptr;
    parent.AddChild(std::move(moved));
}

void KZeqAsfBoneIndex::CloseGaps() {
    if (!mGaps) return;
    auto& children = mRoot.mChildren;
    children.erase(std::remove(children.begin(), children.end(), nullptr), children.end());
    mPlaces.clear();
    for (std::size_t i = 0; i < children.size(); ++i) mPlaces[children[i].get()] = i;
    mGaps = false;
}

void KZeqAsfNode::ComputeAxisMatrix() {
    KmIJKtoR(mAxisMatrix, mAxis[0], mAxis[1], mAxis[2], mAxisOrder);
    KmRi(mInvAxisMatrix, mAxisMatrix);
}

void KZeqAsfNode::SetupPosition() {
    if (mParent) {
        mPosition = mDirection * mLength;
        mPosition[3] = 0.0;
        mOffset = mParent->mPosition;
        std::memcpy(mParentAxisMatrix, mParent->mAxisMatrix, sizeof(KgeRMatrix));
        std::memcpy(mParentInvAxisMatrix, mParent->mInvAxisMatrix, sizeof(KgeRMatrix));
        mLocalOffset = MulRow(mOffset, mParentInvAxisMatrix);
    }
    for (auto& child : mChildren) child->SetupPosition();
}

void KZeqAsfNode::RemoveDummy() {
    // From the last child to the first; a dummy's children follow the others, the last dummy's
    // first. One pass over the list, however many of thousands of children dissolve.
    std::vector<std::unique_ptr<KZeqAsfNode>> kept, moved;
    for (auto it = mChildren.rbegin(); it != mChildren.rend(); ++it) {
        std::unique_ptr<KZeqAsfNode> dummy = std::move(*it);
        dummy->RemoveDummy();
        if (dummy->mDofCount != 0) {
            kept.push_back(std::move(dummy));
            continue;
        }
        for (auto& child : dummy->mChildren) {
            std::memcpy(child->mParentAxisMatrix, dummy->mParentAxisMatrix, sizeof(KgeRMatrix));
            std::memcpy(child->mParentInvAxisMatrix, dummy->mParentInvAxisMatrix, sizeof(KgeRMatrix));
            child->mOffset += dummy->mOffset;
            child->mLocalOffset = MulRow(child->mOffset, child->mParentInvAxisMatrix);
            child->mParent = this;
            moved.push_back(std::move(child));
        }
        dummy->mChildren.clear();
    }
    mChildren.assign(std::make_move_iterator(kept.rbegin()), std::make_move_iterator(kept.rend()));
    for (auto& child : moved) mChildren.push_back(std::move(child));
}

// ---- Scene nodes ------------------------------------------------------------------------------

KZeqNode* KZeqAsfNode::ASFToZEQ(KZeqSdkManager& manager, const char* takeName, bool withLimits) {
    KZeqNode* node = manager.CreateKZeqNode(mName);
    if (!node) return nullptr;
    if (KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton()) {
        skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
        node->SetNodeAttribute(skeleton);
    }
    bool ok = SetKFCurvePointers(node, takeName);
    if (ok && withLimits && mParent) SetLimits(node);
    for (std::size_t i = 0; ok && i < mChildren.size(); ++i) {
        KZeqNode* child = mChildren[i]->ASFToZEQ(manager, takeName, withLimits);
        ok = child && node->AddChild(child);
        if (child && !ok) manager.DestroyKZeqNode(child, true);
    }
    if (ok && mChildren.empty() && mLength > 0.0) {
        char name[kMaxNameLength + 8];
        std::snprintf(name, sizeof(name), "%s_End", mName);
        KZeqNode* end = manager.CreateKZeqNode(name);
        ok = end != nullptr;
        if (ok) {
            if (KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton()) {
                skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
                end->SetNodeAttribute(skeleton);
            }
            end->SetDefaultT(MulRow(mPosition, mInvAxisMatrix));
            ok = node->AddChild(end);
            if (!ok) manager.DestroyKZeqNode(end, true);
        }
    }
    if (!ok) {
        manager.DestroyKZeqNode(node, true);
        return nullptr;
    }
    return node;
}

bool KZeqAsfNode::SetKFCurvePointers(KZeqNode* node, const char* takeName) {
    if (!node) return false;
    node->SetDefaultT(mLocalOffset);
    node->SetDefaultR(KZeqVector4(mDefaultRotation[0], mDefaultRotation[1], mDefaultRotation[2], 0.0));
    // An empty name means the skeleton alone: its values live in the default take.
    if (takeName && *takeName) {
        if (!node->CreateTakeNode(takeName)) return false;
        node->SetCurrentTakeNode(takeName);
    }
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    KFCurveNode* transform = take ? take->GetKFCurveNode()->FindRecursive("Transform") : nullptr;
    if (!transform) return true;
    const double t[3] = {mLocalOffset[0], mLocalOffset[1], mLocalOffset[2]};
    FillChannel(transform->FindRecursive("T"), mHeld[0] ? mHeldValues : t, mCurves);
    FillChannel(transform->FindRecursive("R"), mHeld[1] ? mHeldValues + 3 : mDefaultRotation, mCurves + 3);
    return true;
}

void KZeqAsfNode::GetKFCurvePointers(KZeqNode* node) {
    if (!node) return;
    mNode = node;
    mLayered = node->IsTakeLayeredOrWarped();
    KZeqTakeNode* current = node->GetCurrentTakeNode();
    if (!current || current == node->GetDefaultTakeNode()) return;
    KFCurveNode* transform = current->GetKFCurveNode()->FindRecursive("Transform");
    if (!transform) return;
    mCurveNodes[0] = transform->FindRecursive("T");
    mCurveNodes[1] = transform->FindRecursive("R");
    mCurveNodes[2] = transform->FindRecursive("S");
}

void KZeqAsfNode::SetLimits(KZeqNode* node) {
    if (!node || !mParent) return;
    KgeRMatrix r1, e, r2;
    SetIdentity(r1);
    SetIdentity(e);
    SetIdentity(r2);
    KmRR(r1, mParentInvAxisMatrix, mAxisMatrix);
    const int order = EulerOrderFromOrderBuf(mDof, mDofCount);
    // Rows: the order's first axis, its second, and their cross product.
    const int first = KmEulerAxis[order * 3];
    const int second = KmEulerAxis[order * 3 + 1];
    KZeqVector4 a, b;
    a[first] = 1.0;
    b[second] = 1.0;
    const KZeqVector4 c = a.CrossProduct(b);
    for (int j = 0; j < 3; ++j) {
        e[0][j] = a[j];
        e[1][j] = b[j];
        e[2][j] = c[j];
    }
    KmRR(r2, r1, e);
    mLocalOffset = MulRow(mOffset, mParentInvAxisMatrix);

    KZeqVector4 minimum, maximum;
    int k = 0;
    for (int i = 0; i < mDofCount && k < 3; ++i) {
        if (mDof[i] < eDofRZ || mDof[i] > eDofRX) continue;
        // Beyond three rotation dofs there is no component left: the first three count.
        minimum[2 - k] = -180.0;
        maximum[2 - k] = 180.0;
        ++k;
    }
    KZeqNodeLimits& limits = node->GetLimits();
    if (TranslationDofCount() == 0) {
        limits.SetAuto(KZeqNodeLimits::eT, false);
        limits.SetEnable(KZeqNodeLimits::eT, true);
        limits.SetDefault(KZeqNodeLimits::eT, mLocalOffset);
    }
    if (RotationDofCount() < 3) {
        double pre[3], axis[3];
        KmRtoVord(pre, r2, 0);
        KmRtoVord(axis, e, 0);
        limits.SetAuto(KZeqNodeLimits::eR, false);
        limits.SetEnable(KZeqNodeLimits::eR, true);
        limits.SetDefault(KZeqNodeLimits::eR, KZeqVector4(pre[0], pre[1], pre[2], 0.0));
        limits.SetMin(KZeqNodeLimits::eR, minimum);
        limits.SetMax(KZeqNodeLimits::eR, maximum);
        limits.SetRotationAxis(KZeqVector4(axis[0], axis[1], axis[2], 0.0));
        limits.SetAxisLength(mLength);
    }
}

// ---- KZeqAsfScene ------------------------------------------------------------------------------

KZeqAsfScene::KZeqAsfScene() { mName[0] = '\0'; }

KZeqAsfScene::~KZeqAsfScene() = default;

void KZeqAsfScene::SetName(const char* name) { CopyName(mName, name, kMaxSceneNameLength); }

double KZeqAsfScene::LengthToScene() const { return mLengthUnit > 0.0 ? 2.54 / mLengthUnit : 1.0; }

KZeqNode* KZeqAsfScene::ASFToZEQ(KZeqSdkManager& manager, const char* takeName, bool withLimits) {
    return mRoot ? mRoot->ASFToZEQ(manager, takeName, withLimits) : nullptr;
}

bool KZeqAsfScene::MergeBone(KZeqSdkManager& manager, KZeqAsfNode* bone, KZeqNode* parentNode,
                             const char* takeName, bool withLimits, MergeRecord& record) {
    KZeqNode* node = parentNode->FindChild(bone->GetName(), true);
    if (!node) {
        KZeqNode* top = bone->ASFToZEQ(manager, takeName, withLimits);
        if (!top) return false;
        if (!parentNode->AddChild(top)) {
            manager.DestroyKZeqNode(top, true);
            return false;
        }
        record.mCreated.push_back(top);
        return true;
    }
    if (!bone->SetKFCurvePointers(node, takeName)) return false;
    record.mTaken.push_back(node);
    for (int i = 0; i < bone->GetChildCount(); ++i)
        if (!MergeBone(manager, bone->GetChild(i), node, takeName, withLimits, record)) return false;
    return true;
}

bool KZeqAsfScene::MergeASFToZEQ(KZeqSdkManager& manager, KZeqNode* target, const char* takeName, bool withLimits,
                                 MergeRecord& record) {
    if (!mRoot || !target) return false;
    return MergeBone(manager, mRoot.get(), target, takeName, withLimits, record);
}

}  // namespace zeqsdk_400
