#include "formats/motion/common/kzeqjointshear.h"

#include <algorithm>
#include <cmath>

#include "fcurve/kfcurve.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// Axes further from square than this (the cosine between them) are sheared;
// numbers of even scaling stay a billion times below it.
constexpr double kShear = 1e-6;
// A carried matrix within this of the scaling per component (relative to the
// largest element) is carried per component.
constexpr double kAligned = 1e-9;

double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Whether the node's scaling may differ between axes at some time of its
// current take: its default scaling does, or the take's; keyed scaling may.
bool MayScaleUnevenly(KZeqNode& node) {
    KZeqVector4 scaling;
    node.GetDefaultS(scaling);
    if (KZeqJointShear::IsNonUniform(scaling)) return true;
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take || take == node.GetDefaultTakeNode()) return false;
    KFCurve* const curves[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
    for (int i = 0; i < 3; ++i) {
        if (!curves[i]) continue;
        if (curves[i]->KeyGetCount() > 0) return true;
        scaling[i] = curves[i]->GetValue();
    }
    return KZeqJointShear::IsNonUniform(scaling);
}

// The local matrix at time, shared through locals when given.
KZeqXMatrix LocalAt(KZeqNode& node, KTime time, KZeqMotionJointLocals* locals) {
    return locals ? locals->Get(node, time) : KZeqMotionJoint::Local(node, time);
}

}  // namespace

KZeqJointShear::KZeqJointShear(KZeqNode& root, EPlacement placement, bool selectedOnly)
    : mRoot(root), mPlacement(placement), mSelectedOnly(selectedOnly) {
    std::vector<KZeqNode*> pending{&root};
    while (!pending.empty() && !mPossible) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        mPossible = MayScaleUnevenly(*node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
    if (placement == eROOT_GLOBAL)
        for (KZeqNode* above = root.GetParent(); above && !mPossible; above = above->GetParent())
            mPossible = MayScaleUnevenly(*above);
}

bool KZeqJointShear::IsSheared(const KZeqMatrix& matrix) {
    const double* r[3] = {matrix.mData[0], matrix.mData[1], matrix.mData[2]};
    const double length[3] = {std::sqrt(Dot(r[0], r[0])), std::sqrt(Dot(r[1], r[1])), std::sqrt(Dot(r[2], r[2]))};
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (std::fabs(Dot(r[i], r[j])) > kShear * length[i] * length[j]) return true;
    return false;
}

bool KZeqJointShear::IsUneven(const KZeqVector4& scaling) {
    const double a = std::fabs(scaling[0]), b = std::fabs(scaling[1]), c = std::fabs(scaling[2]);
    return std::max({a, b, c}) - std::min({a, b, c}) > kAligned * std::max({a, b, c});
}

bool KZeqJointShear::IsNonUniform(const KZeqVector4& scaling) {
    return IsUneven(scaling) || (scaling[0] < 0.0) != (scaling[1] < 0.0) || (scaling[0] < 0.0) != (scaling[2] < 0.0);
}

void KZeqJointShear::Check(KTime time, KZeqJointNotes& notes, KZeqMotionJointLocals* locals) const {
    if (!mPossible) return;
    // A node to look at with its parent's global matrix; the nearest node
    // above it and below the root whose own scaling is uneven (the one that
    // shears it), else null; the node whose scaling shears the parent, when
    // it is sheared; whether that was said on the way down.
    struct Entry {
        KZeqNode* mNode;
        KZeqXMatrix mParent;
        KZeqNode* mUnevenAbove;
        KZeqNode* mScaling;
        bool mSaid;
    };
    KZeqXMatrix top;
    if (mPlacement != eROOT_ORIGIN)
        top = mPlacement == eROOT_GLOBAL ? KZeqMotionJoint::Global(mRoot, time, locals) : LocalAt(mRoot, time, locals);
    // The nearest node from first up whose own scaling is uneven, or null.
    const auto firstUneven = [&](KZeqNode* first) {
        for (KZeqNode* at = first; at; at = at->GetParent())
            if (IsUneven(LocalAt(*at, time, locals).GetS())) return at;
        return static_cast<KZeqNode*>(nullptr);
    };
    // That from the root up, looked for once a frame at most.
    KZeqNode* unevenFromRoot = nullptr;
    bool rootLooked = false;
    // The node whose scaling shears node: the nearest above it scaled unevenly, else its parent.
    const auto shearing = [&](KZeqNode& node, KZeqNode* known) -> KZeqNode& {
        KZeqNode* found = known;
        if (!found && &node == &mRoot) {
            found = firstUneven(mRoot.GetParent());
        } else if (!found) {
            if (!rootLooked) unevenFromRoot = firstUneven(&mRoot);
            rootLooked = true;
            found = unevenFromRoot;
        }
        return found ? *found : node.GetParent() ? *node.GetParent() : node;
    };
    std::vector<Entry> pending;
    const auto visit = [&](KZeqNode& node, const KZeqXMatrix& local, KZeqXMatrix& global, KZeqNode* uneven,
                           KZeqNode* scaling, bool said) {
        if (IsSheared(global)) {
            if (!scaling) scaling = &shearing(node, uneven);
            const bool written = !mSelectedOnly || (node.GetSelected(false) && !node.GetOpticalReference());
            if (!said && written) {
                notes.ShearNotHeld(node, *scaling);
                said = true;
            }
        } else {
            scaling = nullptr;
            said = false;
        }
        if (node.GetChildCount() == 0) return;
        // Carried down from the nodes' own locals, so that no sheared joint walks up the tree
        // for it; the root's is not always evaluated, and is looked at from above.
        KZeqNode* unevenBelow = &node == &mRoot ? nullptr : IsUneven(local.GetS()) ? &node : uneven;
        for (int i = node.GetChildCount(); i-- > 0;)
            pending.push_back({node.GetChild(i), global, unevenBelow, scaling, said});
    };
    visit(mRoot, top, top, nullptr, nullptr, false);
    while (!pending.empty()) {
        Entry entry = pending.back();
        pending.pop_back();
        KZeqXMatrix local = LocalAt(*entry.mNode, time, locals), global;
        KZeqNode::ComputeGlobalMatrixZeqStyle(global, entry.mParent, local);
        visit(*entry.mNode, local, global, entry.mUnevenAbove, entry.mScaling, entry.mSaid);
    }
}

KZeqCarriedScaling::KZeqCarriedScaling(bool exact, const KZeqVector4& scaling) : mScaling(scaling), mExact(exact) {
    for (int i = 0; i < 3; ++i) mMatrix[i][i] = scaling[i];
}

KZeqCarriedScaling KZeqCarriedScaling::Below(const KZeqMatrix& block, const KZeqMatrix& rotation,
                                             const KZeqVector4& scaling) const {
    KZeqCarriedScaling below(mExact);
    below.mScaling =
        KZeqVector4(scaling[0] * mScaling[0], scaling[1] * mScaling[1], scaling[2] * mScaling[2], scaling[3]);
    if (!mExact) return below;
    // A point of the joint below reaches the scene as block, then what this
    // joint carries, then this joint's rotation written: the file turns it by
    // the joint's rotation written, then this one's, so it carries
    // block x carried x rotation transposed.
    double product[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            product[i][j] = block.mData[i][0] * mMatrix[0][j] + block.mData[i][1] * mMatrix[1][j] +
                            block.mData[i][2] * mMatrix[2][j];
    double largest = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            below.mMatrix[i][j] = product[i][0] * rotation.mData[j][0] + product[i][1] * rotation.mData[j][1] +
                                  product[i][2] * rotation.mData[j][2];
            largest = std::max(largest, std::fabs(below.mMatrix[i][j]));
        }
    for (int i = 0; i < 3 && below.mAligned; ++i)
        for (int j = 0; j < 3; ++j) {
            const double perComponent = i == j ? below.mScaling[i] : 0.0;
            if (std::fabs(below.mMatrix[i][j] - perComponent) > kAligned * largest) {
                below.mAligned = false;
                break;
            }
        }
    return below;
}

KZeqVector4 KZeqCarriedScaling::Carry(const KZeqVector4& t) const {
    if (mAligned) return KZeqVector4(t[0] * mScaling[0], t[1] * mScaling[1], t[2] * mScaling[2], t[3]);
    KZeqVector4 carried(0.0, 0.0, 0.0, t[3]);
    for (int j = 0; j < 3; ++j) carried[j] = t[0] * mMatrix[0][j] + t[1] * mMatrix[1][j] + t[2] * mMatrix[2][j];
    return carried;
}

}  // namespace zeqsdk_400
