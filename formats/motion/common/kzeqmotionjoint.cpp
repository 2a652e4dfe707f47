#include "formats/motion/common/kzeqmotionjoint.h"

#include <algorithm>
#include <cmath>

#include "base/kgemath.h"
#include "base/kstepcount.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

bool NonZero(const KZeqVector4& v) { return v[0] != 0.0 || v[1] != 0.0 || v[2] != 0.0; }

// Whether the held offset puts a joint farther from where the take has it than the files show: a
// ten-thousandth of the offset's length, and at least that of a unit. The six significant digits
// the files print, and the single precision of the curves the readers make (a few millionths of a
// bone), move a joint less; such jitter is no animated translation.
constexpr double kHeldTolerance = 1e-4;
bool Parts(const KZeqVector4& held, const KZeqVector4& now, double offset) {
    return (held - now).Length() > kHeldTolerance * std::max(1.0, offset);
}

}  // namespace

bool KZeqMotionJoint::HasFullTransformUp(KZeqNode& node) {
    for (KZeqNode* n = &node; n; n = n->GetParent())
        if (n->NeedsFullTransform()) return true;
    return false;
}

bool KZeqMotionJoint::Turns(const KFCurveNode* rotation) {
    if (!rotation) return false;
    for (int i = 0; i < rotation->GetCount(); ++i) {
        const KFCurve* curve = rotation->Get(i)->FCurveGet();
        if (curve && (curve->KeyGetCount() > 0 || curve->GetValue() != 0.0f)) return true;
    }
    return false;
}

bool KZeqMotionJoint::HasFullTransformAround(KZeqNode& node) {
    if (HasFullTransformUp(node)) return true;
    std::vector<KZeqNode*> pending{&node};
    while (!pending.empty()) {
        KZeqNode* below = pending.back();
        pending.pop_back();
        if (below->NeedsFullTransform()) return true;
        for (int i = below->GetChildCount(); i-- > 0;) pending.push_back(below->GetChild(i));
    }
    return false;
}

KZeqXMatrix KZeqMotionJoint::Local(KZeqNode& node, KTime time) {
    return node.NeedsFullTransform() ? node.EvaluateLocalTransform(time) : node.GetLocalFromCurrentTake(time);
}

KZeqVector4 KZeqMotionJoint::Angles(const KZeqXMatrix& matrix, int order) {
    // The rotation block as GetR divides it out (signed scaling), straight
    // from the rows: a turn no other axis takes part in reads as exact zeros.
    KZeqXMatrix rotation = matrix;
    rotation.SetS(KZeqVector4(1.0, 1.0, 1.0, 0.0));
    double angles[3];
    KmRtoVord(angles, rotation.mData, order);
    return KZeqVector4(angles[0], angles[1], angles[2], 0.0);
}

void KZeqMotionJoint::MirrorAsTurn(double* r, double* s) {
    if ((s[0] < 0.0) == (s[1] < 0.0) && (s[0] < 0.0) == (s[2] < 0.0)) return;
    const KZeqXMatrix matrix(KZeqVector4(), KZeqVector4(r[0], r[1], r[2], 0.0), KZeqVector4(s[0], s[1], s[2], 0.0));
    const KZeqVector4 angles = Angles(matrix, 0), scaling = matrix.GetS();
    for (int i = 0; i < 3; ++i) r[i] = angles[i], s[i] = scaling[i];
}

KZeqMatrix KZeqMotionJoint::Rotation(const KZeqVector4& angles, int order) {
    // Angles come in the order's sequence; three distinct axes are built from the angles about X, Y and Z.
    const int* axis = &KmEulerAxis[(order >= 0 && order < KM_EULER_ORDER_COUNT ? order : 0) * 3];
    double byAxis[3] = {angles[0], angles[1], angles[2]};
    if (axis[0] != axis[2])
        for (int n = 0; n < 3; ++n) byAxis[axis[n]] = angles[n];
    KZeqMatrix rotation;
    KmIJKtoR(rotation.mData, byAxis[0], byAxis[1], byAxis[2], order);
    return rotation;
}

KZeqXMatrix KZeqMotionJoint::Global(KZeqNode& node, KTime time, KZeqMotionJointLocals* locals) {
    if (!HasFullTransformUp(node)) return node.GetGlobalFromCurrentTake(time);
    const auto local = [&](KZeqNode& n) { return locals ? locals->Get(n, time) : Local(n, time); };
    std::vector<KZeqNode*> chain;
    for (KZeqNode* n = &node; n; n = n->GetParent()) chain.push_back(n);
    KZeqXMatrix global = local(*chain.back());
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        KZeqXMatrix below = local(**it), parent = global;
        KZeqNode::ComputeGlobalMatrixZeqStyle(global, parent, below);
    }
    return global;
}

const KZeqXMatrix& KZeqMotionJointLocals::Get(KZeqNode& node, KTime time) {
    if (!node.NeedsFullTransform()) return node.GetLocalFromCurrentTake(time);
    KCountSteps(KStepKind::eSearch, 1);
    const auto [at, added] = mFull.try_emplace(&node);
    Evaluated& evaluated = at->second;
    if (added || evaluated.mTime != time) {
        evaluated.mTime = time;
        evaluated.mLocal = node.EvaluateLocalTransform(time);
    }
    return evaluated.mLocal;
}

KZeqMotionJointStates::KZeqMotionJointStates(KZeqNode& root) : mRoot(root) {
    std::vector<KZeqNode*> pending{&root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        mNodes.emplace_back(node, node->NeedsFullTransform());
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
}

void KZeqMotionJointStates::Set(KTime time) const {
    // As SetLocalStateFromCurrentTake, but a full transform in place of the plain one.
    for (const auto& [node, full] : mNodes) {
        if (full)
            node->SetLocalState(mLocals.Get(*node, time));
        else
            node->SetLocalState(node->GetCurrentTakeNodeIndex() == 0 ? node->GetLocalFromDefaultTake()
                                                                      : node->GetLocalFromCurrentTake(time));
    }
}

void KZeqMotionJointStates::SetFromRoot(KTime time) const {
    Set(time);
    mRoot.SetGlobalState(KZeqXMatrix());
    mRoot.SetGlobalStateId(0, true);
    mRoot.SetGlobalStateId(1, false);
}

KZeqJointRotationsKept::KZeqJointRotationsKept(KZeqNode& node)
    : mNode(node),
      mPre(node.GetPreRotation(KZeqNode::eSOURCE_SET)),
      mPost(node.GetPostRotation(KZeqNode::eSOURCE_SET)),
      mTranslationLimits(node.GetLimits().mTranslationLimits),
      mScalingLimits(node.GetLimits().mScalingLimits),
      mAxisLength(node.GetLimits().GetAxisLength()) {
    node.GetRotationOrder(KZeqNode::eSOURCE_SET, mOrder);
}

KZeqJointRotationsKept::~KZeqJointRotationsKept() {
    mNode.SetRotationOrder(KZeqNode::eSOURCE_SET, mOrder);
    mNode.SetPreRotation(KZeqNode::eSOURCE_SET, mPre);
    mNode.SetPostRotation(KZeqNode::eSOURCE_SET, mPost);
    KZeqNodeLimits& limits = mNode.GetLimits();
    limits.mTranslationLimits = mTranslationLimits;
    limits.mScalingLimits = mScalingLimits;
    limits.SetAxisLength(mAxisLength);
}

KZeqJointNotes::KZeqJointNotes(KStreamOptionsMotion* options)
    : mOptions(options), mStart(options ? options->GetStart() : KTime()) {}

KZeqVector4 KZeqJointNotes::TakeTranslation(KZeqNode& node, Start& start, KTime time) {
    if (start.mPlayed) return node.GetLocalFromCurrentTake(time).GetT();
    KZeqVector4 t = start.mTake;
    for (int i = 0; i < 3; ++i)
        if (start.mCurves[i]) t[i] = start.mCurves[i]->Evaluate(time, &start.mLast[i]);
    return t;
}

void KZeqJointNotes::CheckHeldTranslation(KZeqNode& node, KTime time, KZeqMotionJointLocals* locals) {
    // The full transform's translation less the take's own: what the pivots and offsets add.
    const auto added = [&node, locals](KTime at) {
        const KZeqVector4 full = locals ? locals->Get(node, at).GetT() : node.EvaluateLocalTransform(at).GetT();
        return full - node.GetLocalFromCurrentTake(at).GetT();
    };
    const auto [at, first] = mAtStart.try_emplace(&node);
    Start& start = at->second;
    if (first) {
        // Only curves of two keys or more move; the default take moves nothing.
        KZeqTakeNode* take = node.GetCurrentTakeNode();
        if (take && take != node.GetDefaultTakeNode()) {
            start.mPlayed = node.IsTakeLayeredOrWarped();
            KFCurve* curves[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
            for (int i = 0; i < 3 && !start.mPlayed; ++i)
                if (curves[i] && curves[i]->KeyGetCount() > 1) start.mCurves[i] = curves[i];
        }
        // A channel without keys holds the take's value: the offset is measured from there, as it is
        // where the channel is keyed.
        start.mTake = node.GetLocalFromCurrentTake(mStart).GetT();
        start.mTake = TakeTranslation(node, start, mStart);
        start.mFull = node.NeedsFullTransform();
        if (start.mFull) start.mAdded = added(mStart);
        start.mOffset = (start.mFull ? start.mTake + start.mAdded : start.mTake).Length();
    }
    const bool moves = start.mPlayed || start.mCurves[0] || start.mCurves[1] || start.mCurves[2];
    if (moves && !WasSaid(node, eMoved) && Parts(start.mTake, TakeTranslation(node, start, time), start.mOffset))
        SayNotHeld(node, eMoved, "animated translation");
    if (!start.mFull || WasSaid(node, eHeld) || !Parts(start.mAdded, added(time), start.mOffset)) return;
    KZeqNode::EPivotState state = KZeqNode::ePIVOT_STATE_REFERENCE;
    node.GetPivotState(KZeqNode::eSOURCE_SET, state);
    if (state != KZeqNode::ePIVOT_STATE_ACTIVE) return;
    std::vector<const char*> names;
    if (NonZero(node.GetRotationPivot(KZeqNode::eSOURCE_SET))) names.push_back("rotation pivot");
    if (NonZero(node.GetScalingOffset(KZeqNode::eSOURCE_SET))) names.push_back("scaling offset");
    if (NonZero(node.GetScalingPivot(KZeqNode::eSOURCE_SET))) names.push_back("scaling pivot");
    KString what;
    for (std::size_t i = 0; i < names.size(); ++i)
        what += KString(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    if (!what.IsEmpty()) NotHeld(node, what.Buffer());
}

bool KZeqJointNotes::WasSaid(const KZeqNode& node, EKind kind) const {
    KCountSteps(KStepKind::eSearch, 1);
    const auto found = mSaid.find(&node);
    return found != mSaid.end() && (found->second & (1u << kind));
}

bool KZeqJointNotes::Say(KZeqNode& node, EKind kind, const KString& text) {
    KCountSteps(KStepKind::eSearch, 1);
    unsigned& said = mSaid[&node];
    if (said & (1u << kind)) return false;
    said |= 1u << kind;
    if (mOptions) mOptions->MessageCallback(1, "Warning", text.Buffer(), "Ok", nullptr, nullptr, 0);
    mLines.push_back(text);
    return true;
}

void KZeqJointNotes::NotHeld(KZeqNode& node, const char* what) { SayNotHeld(node, eHeld, what); }

void KZeqJointNotes::SayNotHeld(KZeqNode& node, EKind kind, const char* what) {
    Say(node, kind,
        KString("\"") + node.GetNameWithoutNameSpacePrefix() + "\": " + what +
            " not held: the file keeps one offset for the joint, written where the first frame puts it.");
}

void KZeqJointNotes::ShearNotHeld(KZeqNode& node, KZeqNode& scaled) {
    Say(node, eShear,
        KString("\"") + node.GetNameWithoutNameSpacePrefix() + "\": shear from the uneven scaling of \"" +
            scaled.GetNameWithoutNameSpacePrefix() +
            "\" not held: the file keeps the nearest rotation and scaling.");
}

}  // namespace zeqsdk_400
