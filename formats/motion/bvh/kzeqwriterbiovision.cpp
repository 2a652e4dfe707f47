#include "formats/motion/bvh/kzeqwriterbiovision.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurvenode.h"
#include "formats/motion/bvh/kzeqfilebiovision.h"
#include "formats/motion/common/kzeqjointshear.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// The Euler order whose angles line up with "Zrotation Xrotation Yrotation"
// when printed z, y, x: Y applied first, then X, then Z.
constexpr int kZXYChannelOrder = 6;

// What a joint written turned by matrix's rotation carries below it.
KZeqCarriedScaling Below(const KZeqCarriedScaling& carried, const KZeqXMatrix& matrix, const KZeqVector4* angles,
                         bool zxyOrder) {
    const int order = zxyOrder ? kZXYChannelOrder : 0;
    if (!carried.IsExact()) return carried.Below(matrix, KZeqMatrix(), matrix.GetS());
    const KZeqVector4 written = angles ? *angles : KZeqMotionJoint::Angles(matrix, order);
    return carried.Below(matrix, KZeqMotionJoint::Rotation(written, order), matrix.GetS());
}

}  // namespace

KZeqWriterBiovision::KZeqWriterBiovision(KZeqSdkManager& manager) : KZeqMotionFileWriter(manager) {}

KZeqWriterBiovision::~KZeqWriterBiovision() = default;

KStreamOptions* KZeqWriterBiovision::GetWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eTranslation, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eExportRequireSingleRootNode, KStreamOptionsMotion::eOn);
    return options;
}

bool KZeqWriterBiovision::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) {
    mRoot = FindRootNode(scene);
    if (!mRoot) return Refuse(eFileNotCreated, "Can not find root node.");
    mOptions = &options;
    KString spaces("Spaces are not allowed in BVH node names:");
    if (!CheckSpaceInNodeNameRecursive(mRoot, spaces)) {
        mOptions->MessageCallback(1, "Error", spaces.Buffer(), "OK", nullptr, nullptr, 0);
        mOptions = nullptr;
        mRoot = nullptr;
        return Refuse(eUnidentifiedError, spaces.Buffer());
    }
    const bool rotationOnly = mOptions->GetOption(KStreamOptionsMotion::eTranslation) != KStreamOptionsMotion::eOn;
    mFromGlobalPosition =
        mOptions->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == KStreamOptionsMotion::eOn;
    const KZeqVector4 unit(1.0, 1.0, 1.0, 1.0);
    mNotes = std::make_unique<KZeqJointNotes>(mOptions);
    KZeqMotionJointLocals locals;
    mLocals = &locals;
    mHeld.clear();
    mAnyFull = KZeqMotionJoint::HasFullTransformAround(*mRoot);
    const KZeqJointShear shear(*mRoot,
                               mFromGlobalPosition ? KZeqJointShear::eROOT_GLOBAL : KZeqJointShear::eROOT_LOCAL);
    mExact = shear.IsPossible();

    bool ok = WriteNode(mRoot, 0, rotationOnly, true, unit);
    const int frames = mOptions->GetFrameCount();
    const KTime period = mOptions->GetFramePeriod();
    KTime time = mOptions->GetStart();
    ok = ok && mFile->PrintMotionHeader(frames, period.GetSecondDouble());
    for (int i = 0; ok && i < frames; ++i) {
        mOptions->ProgressCallback(nullptr, "Writing BVH nodes",
                                   static_cast<float>(static_cast<long long>(i) * 100 / frames));
        ok = mFile->PrintMotionFrameBegin() && WriteNodeMotion(mRoot, time, rotationOnly, true, unit) &&
             mFile->PrintMotionFrameEnd();
        shear.Check(time, *mNotes, mLocals);
        time += period;
    }
    // Text is buffered: a full disk may only show when it is pushed out.
    ok = ok && mFile->Flush();
    AddMessageLines(*mNotes);
    mNotes.reset();
    mLocals = nullptr;
    mHeld.clear();
    mAnyFull = true;
    mExact = false;
    mOptions = nullptr;
    mRoot = nullptr;
    mFromGlobalPosition = false;
    return ok || WriteFailed();
}

bool KZeqWriterBiovision::IsEndSite(KZeqNode* node) {
    if (!node || node->GetChildCount() != 0) return false;
    KZeqNode* parent = node->GetParent();
    if (parent && parent->GetChildCount() != 1) return false;
    KZeqSkeleton* skeleton = node->GetSkeleton();
    if (!skeleton || skeleton->GetSkeletonType() != KZeqSkeleton::eLIMB_NODE) return true;
    if (KString(node->GetName()).Find("_EndSite") >= 0) return true;
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    if (!take || take == node->GetDefaultTakeNode()) return true;
    // A layer moves a leaf whose base curves hold no keys.
    if (node->IsTakeLayeredOrWarped()) return false;
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    for (const char* axis : kAxes)
        if (take->IsChannelAnimated("Transform", "T", axis)) return false;
    // A turn without keys is the leaf's as much as one keyed.
    KFCurveNode* transform = take->GetKFCurveNode() ? take->GetKFCurveNode()->FindRecursive("Transform") : nullptr;
    return !KZeqMotionJoint::Turns(transform ? transform->FindRecursive("R") : nullptr);
}

bool KZeqWriterBiovision::HasTakeTranslation(KZeqNode* node) {
    KZeqTakeNode* take = node ? node->GetCurrentTakeNode() : nullptr;
    if (!take || take == node->GetDefaultTakeNode()) return false;
    // A curve the constant key reducer emptied still holds its value.
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    for (const char* axis : kAxes)
        if (take->GetKFCurve("Transform", "T", axis)) return true;
    return false;
}

bool KZeqWriterBiovision::WriteNode(KZeqNode* node, int indent, bool rotationOnly, bool zxyOrder,
                                    const KZeqVector4& scaling) {
    if (!mFile || !node) return false;
    // Depth first on a stack of its own; a node's entry comes back once its
    // children are written, to close its block.
    struct Entry {
        KZeqNode* mNode;
        int mIndent;
        KZeqCarriedScaling mCarried;  // its parent's, or once opened its own
        bool mClose;
    };
    std::vector<Entry> pending{{node, indent, KZeqCarriedScaling(mExact, scaling), false}};
    while (!pending.empty()) {
        const Entry entry = pending.back();
        pending.pop_back();
        KZeqNode* current = entry.mNode;
        if (entry.mClose) {
            if (current->GetChildCount() == 0) {
                // A leaf joint ends in a site of its own, along its bone.
                KZeqNodeLimits& limits = current->GetLimits();
                const KZeqJointRotationsKept kept(*current);
                limits.UpdateAutomatic(current);
                const KZeqVector4 axis = limits.GetRotationAxis();
                const double length = limits.GetAxisLength();
                const double ay = axis[1] * KM_DEG_TO_RAD;
                const double az = axis[2] * KM_DEG_TO_RAD;
                const KZeqVector4 site(std::cos(ay) * std::cos(az) * length, std::cos(ay) * std::sin(az) * length,
                                       -std::sin(ay) * length, 1.0);
                if (!mFile->PrintJointEndSite(entry.mCarried.Carry(site), entry.mIndent + 1)) return false;
            }
            if (!mFile->PrintJointEnd(entry.mIndent)) return false;
            continue;
        }
        const bool isRoot = current == mRoot;
        const bool global = isRoot && mFromGlobalPosition;
        const bool full = global ? KZeqMotionJoint::HasFullTransformUp(*current)
                                 : current->NeedsFullTransform();
        const KTime start = mOptions ? mOptions->GetStart() : KTime();
        KZeqXMatrix folded;
        if (full)
            folded = global ? KZeqMotionJoint::Global(*current, start, mLocals)
                   : mLocals ? mLocals->Get(*current, start)
                             : KZeqMotionJoint::Local(*current, start);
        const KZeqXMatrix& matrix = full     ? folded
                                    : global ? current->GetGlobalFromDefaultTake()
                                             : current->GetLocalFromDefaultTake();
        const bool endSite = !isRoot && IsEndSite(current);
        // A joint without translation channels has one translation for the
        // whole take, its OFFSET: when the take gives it its translation
        // (bone lengths kept in the keys), the one of the first frame written.
        const bool fixedTranslation = !isRoot && (rotationOnly || endSite);
        const KZeqVector4 offset = !full && fixedTranslation && mOptions && HasTakeTranslation(current)
                                       ? current->GetLocalFromCurrentTake(mOptions->GetStart()).GetT()
                                       : matrix.GetT();
        if (fixedTranslation) mHeld.insert(current);
        const KZeqVector4 t = entry.mCarried.Carry(offset);
        // The root stays a joint, or the file would have no hierarchy.
        if (endSite) {
            if (!mFile->PrintJointEndSite(t, entry.mIndent)) return false;
            continue;
        }
        const KString name = current->GetNameWithoutNameSpacePrefix();
        if (!mFile->PrintJointBegin(name.Buffer(), isRoot, t, entry.mIndent, rotationOnly, zxyOrder)) return false;
        // The offsets below scale as the first frame does (and, where the carried scaling is
        // followed as a matrix, turn with the rotation it writes), which the take may hold
        // otherwise than the defaults, keyed or not.
        KZeqXMatrix first;
        if (!full) first = global ? current->GetGlobalFromCurrentTake(start) : current->GetLocalFromCurrentTake(start);
        const KZeqCarriedScaling carried = Below(entry.mCarried, full ? matrix : first, nullptr, zxyOrder);
        pending.push_back({current, entry.mIndent, carried, true});
        for (int i = current->GetChildCount(); i-- > 0;)
            pending.push_back({current->GetChild(i), entry.mIndent + 1, carried, false});
    }
    return true;
}

void KZeqWriterBiovision::CheckHeldTranslation(KZeqNode& node, KTime time) {
    if (mNotes && mHeld.count(&node)) mNotes->CheckHeldTranslation(node, time, mLocals);
}

bool KZeqWriterBiovision::WriteNodeMotion(KZeqNode* node, KTime time, bool rotationOnly, bool zxyOrder,
                                          const KZeqVector4& scaling) {
    if (!mFile || !node) return false;
    std::vector<std::pair<KZeqNode*, KZeqCarriedScaling>> pending{{node, KZeqCarriedScaling(mExact, scaling)}};
    while (!pending.empty()) {
        const std::pair<KZeqNode*, KZeqCarriedScaling> entry = pending.back();
        pending.pop_back();
        KZeqNode* current = entry.first;
        const bool isRoot = current == mRoot;
        if (!isRoot && IsEndSite(current)) {
            CheckHeldTranslation(*current, time);
            continue;
        }
        KZeqXMatrix folded;
        const KZeqXMatrix* matrix = &folded;
        if (!mAnyFull) {
            matrix = isRoot && mFromGlobalPosition ? &current->GetGlobalFromCurrentTake(time)
                                                   : &current->GetLocalFromCurrentTake(time);
        } else if (isRoot && mFromGlobalPosition) {
            folded = KZeqMotionJoint::Global(*current, time, mLocals);
        } else if (current->NeedsFullTransform()) {
            folded = mLocals ? mLocals->Get(*current, time) : current->EvaluateLocalTransform(time);
        } else {
            matrix = &current->GetLocalFromCurrentTake(time);
        }
        const KZeqVector4 t = entry.second.Carry(matrix->GetT());
        // Straight in the file's order, a turn near a quarter turn about any axis kept.
        const KZeqVector4 r = KZeqMotionJoint::Angles(*matrix, zxyOrder ? kZXYChannelOrder : 0);
        if (!mFile->PrintMotion(isRoot, t, r, rotationOnly, zxyOrder)) return false;
        const KZeqCarriedScaling carried = Below(entry.second, *matrix, &r, zxyOrder);
        // After the matrix's last use: it may be the node's own cache of its take, which the check reads.
        CheckHeldTranslation(*current, time);
        for (int i = current->GetChildCount(); i-- > 0;) pending.emplace_back(current->GetChild(i), carried);
    }
    return true;
}

}  // namespace zeqsdk_400
