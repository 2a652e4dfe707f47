// The export side of the Acclaim skeleton: bones built from scene nodes, and
// bones bound to the curves of the scene nodes of the same names.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fcurve/kfcurvenode.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/common/kzeqjointshear.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

KZeqVector4 MulRow(const KZeqVector4& v, const KgeRMatrix& m) {
    KZeqVector4 out;
    for (int j = 0; j < 3; ++j) out[j] = v[0] * m[0][j] + v[1] * m[1][j] + v[2] * m[2][j];
    return out;
}

void CopyMatrix(KgeRMatrix& target, const KgeRMatrix& source) { std::memcpy(target, source, sizeof(KgeRMatrix)); }

int KeyCount(const KFCurveNode* node) { return node ? node->KeyGetCount() : 0; }

// What the skeleton is built from: the node's default rotation, and its
// translation and scaling where its take puts them at time (when the take holds
// them, keyed or not: a bone keeps one offset, the first frame's, as in the
// other joint formats), or its full transform at time folded into them.
enum class Part { kT, kR, kS };
KZeqVector4 SkeletonValue(KZeqNode* node, Part part, KTime time, KZeqMotionJointLocals& locals) {
    KZeqVector4 value;
    if (!node->NeedsFullTransform()) {
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        const bool current = take && take != node->GetDefaultTakeNode();
        if (part == Part::kT && current && take->GetTranslationX() && take->GetTranslationY() &&
            take->GetTranslationZ())
            return node->GetLocalFromCurrentTake(time).GetT();
        if (part == Part::kS && current && take->GetScaleX() && take->GetScaleY() && take->GetScaleZ())
            return node->GetLocalFromCurrentTake(time).GetS();
        if (part == Part::kT) return node->GetDefaultT(value);
        if (part == Part::kR) return node->GetDefaultR(value);
        return node->GetDefaultS(value);
    }
    const KZeqXMatrix& local = locals.Get(*node, time);
    const KZeqVector4 folded = part == Part::kT   ? local.GetT()
                               : part == Part::kR ? KZeqMotionJoint::Angles(local, 0)
                                                  : local.GetS();
    for (int i = 0; i < 3; ++i) value[i] = folded[i];
    return value;
}

// The nodes of a subtree by name, to find the first of a name below one of them in the order
// KZeqNode::FindChild searches (depth first, children in order) without searching: a bone is
// bound to its node in the time a lookup takes, however many nodes come before it.
class SubtreeNames {
public:
    explicit SubtreeNames(KZeqNode& root) {
        // Each node's place in the order, and the place after its last descendant.
        std::vector<std::pair<KZeqNode*, int>> path{{&root, 0}};
        mPlaces[&root] = {0, 0};
        mNodes.push_back(&root);
        while (!path.empty()) {
            auto& [node, next] = path.back();
            if (next == node->GetChildCount()) {
                mPlaces[node].second = static_cast<int>(mNodes.size());
                path.pop_back();
                continue;
            }
            KZeqNode* child = node->GetChild(next++);
            mPlaces[child] = {static_cast<int>(mNodes.size()), 0};
            mByName[child->GetName()].push_back(static_cast<int>(mNodes.size()));
            mNodes.push_back(child);
            path.emplace_back(child, 0);
        }
    }

    // As node->FindChild(name, true): the first node below node named so.
    KZeqNode* Find(KZeqNode& node, const char* name) const {
        const auto named = mByName.find(KZeqSdkManager::PrefixName("Model::", name).Buffer());
        const auto place = mPlaces.find(&node);
        if (named == mByName.end() || place == mPlaces.end()) return nullptr;
        const auto [first, end] = place->second;
        const auto found = std::upper_bound(named->second.begin(), named->second.end(), first);
        return found != named->second.end() && *found < end ? mNodes[static_cast<std::size_t>(*found)] : nullptr;
    }

private:
    std::vector<KZeqNode*> mNodes;  // in the search's order
    std::unordered_map<const KZeqNode*, std::pair<int, int>> mPlaces;
    std::unordered_map<std::string, std::vector<int>> mByName;  // places, ascending
};

}  // namespace

bool KZeqAsfNode::MotionAt(KTime time, KZeqMotionJointLocals* locals, double* t, double* r, double* v) const {
    KZeqNode* node = mNode;
    bool scaled = mCurveNodes[2] != nullptr;
    // A take's layers and time warps play only through the node's evaluation.
    if (node && (node->NeedsFullTransform() || mLayered)) {
        const KZeqXMatrix local = locals ? locals->Get(*node, time) : node->EvaluateLocalTransform(time);
        const KZeqVector4 parts[3] = {local.GetT(), KZeqMotionJoint::Angles(local, 0), local.GetS()};
        for (int i = 0; i < 3; ++i) t[i] = parts[0][i], r[i] = parts[1][i], v[i] = parts[2][i];
        return true;
    }
    if (node && !mCurveNodes[0] && !mCurveNodes[1] && !mCurveNodes[2] &&
        node->GetCurrentTakeNode() == node->GetDefaultTakeNode()) {
        // The static pose of a scene without takes.
        KZeqVector4 parts[3];
        node->GetDefaultT(parts[0]);
        node->GetDefaultR(parts[1]);
        node->GetDefaultS(parts[2]);
        for (int i = 0; i < 3; ++i) t[i] = parts[0][i], r[i] = parts[1][i], v[i] = parts[2][i];
        scaled = true;
    } else {
        // A curve node gives a value for each channel it holds.
        double values[3][16] = {};
        double* const out[3] = {t, r, v};
        for (int part = 0; part < 3; ++part) {
            if (!mCurveNodes[part]) continue;
            for (int i = 0; i < 3; ++i) values[part][i] = out[part][i];
            mCurveNodes[part]->CandidateEvaluate(values[part], time);
            for (int i = 0; i < 3; ++i) out[part][i] = values[part][i];
        }
    }
    if (scaled) KZeqMotionJoint::MirrorAsTurn(r, v);
    return scaled;
}

KZeqAsfNode* KZeqAsfScene::CreateRoot(KZeqNode* root) {
    auto bone = std::make_unique<KZeqAsfNode>("root");
    for (int code : {eDofTX, eDofTY, eDofTZ, eDofRX, eDofRY, eDofRZ}) bone->AddDof(code);
    bone->GetKFCurvePointers(root);
    mRoot = std::move(bone);
    return mRoot.get();
}

void KZeqAsfScene::SetupNode(KZeqAsfNode* bone, const KZeqVector4& translation, const KZeqVector4& rotation,
                             const KZeqCarriedScaling& carried) {
    KgeRMatrix rotationMatrix;
    KmXYZtoR(rotationMatrix, rotation[0], rotation[1], rotation[2]);
    KmRR(bone->mAxisMatrix, bone->mParentAxisMatrix, rotationMatrix);
    KmRi(bone->mInvAxisMatrix, bone->mAxisMatrix);
    // The general extraction: the X-first one takes a turn within a tenth of a degree of a
    // quarter turn about Y for the quarter turn itself.
    KmRtoVord(bone->mAxis, bone->mAxisMatrix, 0);
    bone->mAxisOrder = 0;
    bone->mPosition = MulRow(carried.Carry(translation), bone->mAxisMatrix);
    // Lengths are held in scene units, as a read skeleton holds them; the file
    // gets them in its own units.
    const double length = bone->mPosition.Length();
    bone->mLength = length;
    bone->mDirection = KZeqVector4();
    if (length > 0.0)
        for (int i = 0; i < 3; ++i) bone->mDirection[i] = bone->mPosition[i] / length;
}

void KZeqAsfScene::RecursiveCreate(KZeqNode* node, KZeqAsfNode* bone, bool withTranslation,
                                   const KZeqCarriedScaling& scaling, KTime time, KZeqMotionJointLocals& locals) {
    // The node's scaling and rotation, carried into the offsets of the bones below.
    KZeqVector4 ownScaling = SkeletonValue(node, Part::kS, time, locals);
    const KZeqVector4 ownRotation = SkeletonValue(node, Part::kR, time, locals);
    KZeqMatrix rotation, block;
    if (scaling.IsExact()) {
        // As the motion turns and scales the bone at its first frame, so that the offsets below
        // put every joint where the scene does then.
        double t[3] = {0.0, 0.0, 0.0}, r[3] = {0.0, 0.0, 0.0}, v[3] = {1.0, 1.0, 1.0};
        bone->MotionAt(time, &locals, t, r, v);
        ownScaling = KZeqVector4(v[0], v[1], v[2], 1.0);
        KmXYZtoR(rotation.mData, r[0], r[1], r[2]);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) block.mData[i][j] = v[i] * rotation.mData[i][j];
    }
    const KZeqCarriedScaling s = scaling.Below(block, rotation, ownScaling);
    const int count = node->GetChildCount();

    // A bone runs toward its children: when they do not share one offset, each
    // gets a dummy bone of its own carrying it.
    // The root's own position is always written as zeros, so any offset below
    // it needs dummies too, however many children share it.
    bool dummies = false;
    KZeqVector4 first;
    if (count >= 1) first = SkeletonValue(node->GetChild(0), Part::kT, time, locals);
    if (count >= 1 && bone == mRoot.get()) dummies = first.Length() > 0.0;
    for (int i = 1; i < count && !dummies; ++i)
        dummies = SkeletonValue(node->GetChild(i), Part::kT, time, locals) != first;
    if (count >= 1) {
        // The root bone's rotation is the motion's alone.
        SetupNode(bone, dummies ? KZeqVector4() : first, bone != mRoot.get() ? ownRotation : KZeqVector4(), s);
    }

    for (int i = 0; i < count; ++i) {
        KZeqNode* childNode = node->GetChild(i);
        const KString name = childNode->GetNameWithoutNameSpacePrefix();
        auto child = std::make_unique<KZeqAsfNode>(name.Buffer());
        KZeqAsfNode* parent = bone;
        if (dummies) {
            char dummyName[KZeqAsfNode::kMaxNameLength + 1];
            std::snprintf(dummyName, sizeof(dummyName), "%.250sDummy", child->GetName());
            auto dummy = std::make_unique<KZeqAsfNode>(dummyName);
            dummy->mOffset = bone->mPosition;
            CopyMatrix(dummy->mParentAxisMatrix, bone->mAxisMatrix);
            CopyMatrix(dummy->mParentInvAxisMatrix, bone->mInvAxisMatrix);
            SetupNode(dummy.get(), SkeletonValue(childNode, Part::kT, time, locals), KZeqVector4(), s);
            parent = dummy.get();
            bone->AddChild(std::move(dummy));
        }
        child->mOffset = parent->mPosition;
        CopyMatrix(child->mParentAxisMatrix, parent->mAxisMatrix);
        CopyMatrix(child->mParentInvAxisMatrix, parent->mInvAxisMatrix);
        child->GetKFCurvePointers(childNode);
        if (withTranslation)
            for (int code : {eDofTX, eDofTY, eDofTZ}) child->AddDof(code);
        for (int code : {eDofRX, eDofRY, eDofRZ}) child->AddDof(code);
        KZeqAsfNode* created = child.get();
        parent->AddChild(std::move(child));
        RecursiveCreate(childNode, created, withTranslation, s, time, locals);
    }
}

void KZeqAsfScene::RemoveEndSite(KZeqAsfNode* bone) {
    // A leaf moved by its take's layers or time warp alone, or turned without keys, is no still leaf.
    bone->RemoveChildren([](const KZeqAsfNode& child) {
        return child.GetChildCount() == 0 && child.mLength == 0.0 && KeyCount(child.mCurveNodes[0]) == 0 &&
               !KZeqMotionJoint::Turns(child.mCurveNodes[1]) && !child.mLayered;
    });
    for (int i = bone->GetChildCount() - 1; i >= 0; --i) RemoveEndSite(bone->GetChild(i));
}

void KZeqAsfScene::ZEQToASF(KZeqNode* root, bool withTranslation, const KZeqVector4& scaling, KTime time) {
    SetName("ASF");
    mLengthUnit = 1.0;
    mMassUnit = 1.0;
    mAngleFactor = 1.0;
    KZeqAsfNode* bone = CreateRoot(root);
    if (!root) return;
    const bool exact =
        KZeqJointShear(*root, KZeqJointShear::eROOT_LOCAL).IsPossible() || KZeqJointShear::IsNonUniform(scaling);
    KZeqMotionJointLocals locals;
    RecursiveCreate(root, bone, withTranslation, KZeqCarriedScaling(exact, scaling), time, locals);
    RemoveEndSite(bone);
}

void KZeqAsfScene::ClearCurveNodes() {
    std::vector<KZeqAsfNode*> pending;
    if (mRoot) pending.push_back(mRoot.get());
    while (!pending.empty()) {
        KZeqAsfNode* bone = pending.back();
        pending.pop_back();
        for (KFCurveNode*& node : bone->mCurveNodes) node = nullptr;
        bone->mNode = nullptr;
        bone->mLayered = false;
        for (int i = 0; i < bone->GetChildCount(); ++i) pending.push_back(bone->GetChild(i));
    }
}

void KZeqAsfScene::MergeZEQToASF(KZeqNode* root) {
    if (!mRoot || !root) return;
    mRoot->GetKFCurvePointers(root);
    const SubtreeNames names(*root);
    // Bone, the node it stands for (or its nearest bound bone's), the bone whose axes its children take.
    struct Entry {
        KZeqAsfNode* mBone;
        KZeqNode* mNode;
        KZeqAsfNode* mMatrixBone;
    };
    std::vector<Entry> pending{{mRoot.get(), root, mRoot.get()}};
    while (!pending.empty()) {
        const Entry entry = pending.back();
        pending.pop_back();
        for (int i = 0; i < entry.mBone->GetChildCount(); ++i) {
            KZeqAsfNode* child = entry.mBone->GetChild(i);
            if (KZeqNode* found = names.Find(*entry.mNode, child->GetName())) {
                CopyMatrix(child->mParentAxisMatrix, entry.mMatrixBone->mAxisMatrix);
                CopyMatrix(child->mParentInvAxisMatrix, entry.mMatrixBone->mInvAxisMatrix);
                child->GetKFCurvePointers(found);
                pending.push_back({child, found, child});
            } else {
                pending.push_back({child, entry.mNode, entry.mMatrixBone});
            }
        }
    }
}

}  // namespace zeqsdk_400
