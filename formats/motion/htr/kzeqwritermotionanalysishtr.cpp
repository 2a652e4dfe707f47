#include "formats/motion/htr/kzeqwritermotionanalysishtr.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "base/kzeqmatrix.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvekey.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

void Identity(KgeAMatrix& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
}

void Copy(KgeAMatrix& target, const double* source) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) target[r][c] = source[r * 4 + c];
}

double Determinant(const KgeAMatrix& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Row lengths of the rotation block, all negated when the block mirrors.
void RowScale(const KgeAMatrix& m, double* s) {
    for (int r = 0; r < 3; ++r) s[r] = std::sqrt(m[r][0] * m[r][0] + m[r][1] * m[r][1] + m[r][2] * m[r][2]);
    if (Determinant(m) < 0.0)
        for (int r = 0; r < 3; ++r) s[r] = -s[r];
}

// The rotation block made a pure rotation: each row divided by its length
// (by minus it when the block mirrors).
void NormaliseRows(KgeAMatrix& m) {
    double s[3];
    RowScale(m, s);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = s[r] != 0.0 ? m[r][c] / s[r] : 0.0;
}

// The global state of a node at the frame being converted: rows normalised,
// the rotation rebuilt from its XYZ angles, the translation scaled. Angles are
// read by the general extraction here and below: the X-first one takes a turn
// within a tenth of a degree of a quarter turn about Y for the quarter turn.
void GlobalState(KZeqNode* node, double factor, KgeAMatrix& out) {
    node->ComputeGlobalState(1, false);
    Copy(out, node->GetGlobalState());
    NormaliseRows(out);
    double angles[3];
    KmRtoVord(angles, out, 0);
    KmXYZtoR(out, angles[0], angles[1], angles[2]);
    for (int j = 0; j < 3; ++j) out[3][j] *= factor;
}

KFCurve* AnimationCurve(KZeqNode* copy, int channel) {
    KZeqTakeNode* take = copy->GetCurrentTakeNode();
    if (!take) return nullptr;
    switch (channel) {
        case 0: return take->GetTranslationX();
        case 1: return take->GetTranslationY();
        case 2: return take->GetTranslationZ();
        case 3: return take->GetEulerRotationX();
        case 4: return take->GetEulerRotationY();
        default: return take->GetEulerRotationZ();
    }
}

}  // namespace

KZeqWriterMotionAnalysisHtr::KZeqWriterMotionAnalysisHtr(KZeqSdkManager& manager) : KZeqMotionFileWriter(manager) {}

KZeqWriterMotionAnalysisHtr::~KZeqWriterMotionAnalysisHtr() = default;

KStreamOptions* KZeqWriterMotionAnalysisHtr::GetWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eExportRequireSingleRootNode, KStreamOptionsMotion::eOn);
    return options;
}

bool KZeqWriterMotionAnalysisHtr::IsEndSite(KZeqNode* node) {
    return node->GetChildCount() == 0 && !node->GetLimits().GetAuto(KZeqNodeLimits::eR) &&
           node->GetLimits().GetAxisLength() == 0.0;
}

int KZeqWriterMotionAnalysisHtr::GetSegmentCount(KZeqNode* node) {
    if (IsEndSite(node)) return 0;
    int count = 1;
    for (int i = 0; i < node->GetChildCount(); ++i) count += GetSegmentCount(node->GetChild(i));
    return count;
}

KZeqNode* KZeqWriterMotionAnalysisHtr::CopyNodeTree(KZeqNode* node) {
    KZeqNode* copy = mManager.CreateKZeqNode(node->GetNameWithoutNameSpacePrefix().Buffer());
    if (!copy) return nullptr;
    copy->SetSelected(node->GetSelected(false));
    for (int i = 0; i < node->GetChildCount(); ++i) {
        KZeqNode* child = CopyNodeTree(node->GetChild(i));
        if (!child || !copy->AddChild(child)) {
            if (child) mManager.DestroyKZeqNode(child, true);
            mManager.DestroyKZeqNode(copy, true);
            return nullptr;
        }
    }
    return copy;
}

void KZeqWriterMotionAnalysisHtr::ConvertBasePosition(KZeqNode* node, KZeqNode* copy, KZeqPose* pose,
                                                      const KgeAMatrix* offset) {
    if (IsEndSite(node)) return;
    // The inverse of the rotation turning X onto Y, the bone length axis written.
    KgeQuaternion q;
    KgeSetQuaternion(q, KgeTVector(0.0, 1.0, 0.0, 0.0));
    KgeAMatrix boneAxis, turn;
    Identity(boneAxis);
    Identity(turn);
    KmQtoR(turn, q);
    KmRi(boneAxis, turn);

    KZeqNodeLimits& limits = node->GetLimits();
    // The limits are read here, the node's own rotations later for the frames.
    const KZeqJointRotationsKept kept(*node);
    limits.UpdateAutomatic(node);
    const KZeqVector4 baseT = limits.GetDefault(KZeqNodeLimits::eT);
    const KZeqVector4 axis = limits.GetRotationAxis();
    KgeAMatrix r0;
    Identity(r0);
    KmXYZtoR(r0, axis[0], axis[1], axis[2]);
    const double axisLength = limits.GetAxisLength();

    double parentScale[3] = {1.0, 1.0, 1.0}, ownScale[3] = {1.0, 1.0, 1.0};
    KgeAMatrix state;
    if (KZeqNode* parent = node->GetParent()) {
        parent->ComputeGlobalState(1, false);
        Copy(state, parent->GetGlobalState());
        RowScale(state, parentScale);
    }
    node->ComputeGlobalState(1, false);
    Copy(state, node->GetGlobalState());
    RowScale(state, ownScale);
    double t[3], bone[3];
    for (int j = 0; j < 3; ++j) {
        t[j] = baseT[j] / mFileUnit * parentScale[j];
        bone[j] = r0[0][j] * axisLength / mFileUnit * ownScale[j];
    }
    const double exportedLength = std::sqrt(bone[0] * bone[0] + bone[1] * bone[1] + bone[2] * bone[2]);
    KmRR(r0, r0, boneAxis);
    double angles[3];
    KmRtoVord(angles, r0, 0);

    KgeAMatrix m, local;
    Identity(m);
    KmXYZtoR(m, angles[0], angles[1], angles[2]);
    for (int j = 0; j < 3; ++j) m[3][j] = t[j];
    if (offset) {
        KgeAMatrix o;
        Identity(o);
        KgeSetRM(o, *offset);
        KmAiA(local, o, m);
    } else {
        std::copy(&m[0][0], &m[0][0] + 16, &local[0][0]);
    }
    if (pose && !pose->IsBindPose()) {
        const int entry = pose->Find(node->GetNameWithoutNameSpacePrefix().Buffer());
        if (entry >= 0 && pose->IsLocalMatrix(entry)) Copy(local, pose->GetMatrix(entry));
    }
    copy->SetDefaultT(KZeqVector4(local[3][0], local[3][1], local[3][2], 0.0));
    NormaliseRows(local);
    double rotation[3];
    KmRtoVord(rotation, local, 0);
    copy->SetDefaultR(KZeqVector4(rotation[0], rotation[1], rotation[2], 0.0));
    copy->GetLimits().SetAxisLength(exportedLength);
    for (int i = 0; i < node->GetChildCount(); ++i) ConvertBasePosition(node->GetChild(i), copy->GetChild(i), pose, &m);
}

bool KZeqWriterMotionAnalysisHtr::ConvertAnimationBegin(KZeqNode* node, KZeqNode* copy) {
    if (IsEndSite(node)) return true;
    copy->CreateTakeNode("Current");
    copy->SetCurrentTakeNode("Current");
    Segment& segment = mSegments[copy];
    copy->GetDefaultT(segment.mBaseT);
    copy->GetDefaultR(segment.mBaseR);
    std::array<KFCurve*, 6>& curves = segment.mCurves;
    for (int c = 0; c < 6; ++c) {
        curves[static_cast<std::size_t>(c)] = AnimationCurve(copy, c);
        if (!curves[static_cast<std::size_t>(c)]) return false;
        // Keys are appended frame by frame: nothing is reserved for a count the caller chose.
        curves[static_cast<std::size_t>(c)]->KeyModifyBegin();
    }
    for (int i = 0; i < node->GetChildCount(); ++i)
        if (!ConvertAnimationBegin(node->GetChild(i), copy->GetChild(i))) return false;
    return true;
}

void KZeqWriterMotionAnalysisHtr::ConvertAnimation(KZeqNode* node, KZeqNode* copy, KTime time, double factor,
                                                   const KgeAMatrix* offset, bool& ok) {
    if (IsEndSite(node)) return;
    KgeAMatrix n, b, x, l;
    GlobalState(node, factor, n);
    const Segment& segment = mSegments[copy];
    const KZeqVector4 &bt = segment.mBaseT, &br = segment.mBaseR;
    Identity(b);
    KmXYZtoR(b, br[0], br[1], br[2]);
    for (int j = 0; j < 3; ++j) b[3][j] = bt[j];
    if (offset) {
        KgeAMatrix p, o;
        Identity(p);
        if (KZeqNode* parent = node->GetParent()) GlobalState(parent, factor, p);
        Identity(o);
        KgeSetRM(o, *offset);
        KmAA(x, o, b);
        KmRR(p, p, *offset);
        KmRR(n, n, x);
        KmAiA(l, p, n);
    } else {
        KmRR(n, n, b);
        std::copy(&n[0][0], &n[0][0] + 16, &l[0][0]);
        std::copy(&b[0][0], &b[0][0] + 16, &x[0][0]);
    }
    double values[6];
    for (int j = 0; j < 3; ++j) values[j] = l[3][j] - bt[j];
    KgeAMatrix rotation;
    Identity(rotation);
    KmRiR(rotation, b, l);
    KmRtoVord(values + 3, rotation, 0);
    for (std::size_t c = 0; c < 6; ++c)
        ok = segment.mCurves[c]->KeyAppendFast(time, static_cast<float>(values[c])) >= 0 && ok;
    for (int i = 0; i < node->GetChildCount(); ++i)
        ConvertAnimation(node->GetChild(i), copy->GetChild(i), time, factor, &x, ok);
}

void KZeqWriterMotionAnalysisHtr::ConvertAnimationEnd(KZeqNode* node, KZeqNode* copy) {
    if (IsEndSite(node)) return;
    for (int c = 0; c < 6; ++c)
        if (KFCurve* curve = Curves(copy)[c]) curve->KeyModifyEnd();
    for (int i = 0; i < node->GetChildCount(); ++i) ConvertAnimationEnd(node->GetChild(i), copy->GetChild(i));
}

bool KZeqWriterMotionAnalysisHtr::WriteNodeHierarchy(KZeqNode* node, KZeqNode* parent) {
    if (IsEndSite(node)) return true;
    const KString name = node->GetNameWithoutNameSpacePrefix();
    bool ok = mFile->PrintHierarchy(name.Buffer(),
                                    parent ? parent->GetNameWithoutNameSpacePrefix().Buffer() : nullptr);
    for (int i = 0; i < node->GetChildCount(); ++i) ok = WriteNodeHierarchy(node->GetChild(i), node) && ok;
    return ok;
}

bool KZeqWriterMotionAnalysisHtr::WriteNodeBasePosition(KZeqNode* node, KZeqNode* copy) {
    if (IsEndSite(node)) return true;
    KZeqVector4 t, r;
    copy->GetDefaultT(t);
    copy->GetDefaultR(r);
    bool ok = mFile->PrintBasePosition(node->GetNameWithoutNameSpacePrefix().Buffer(), KgeTVector(t[0], t[1], t[2]),
                                       KgeRVector(r[0], r[1], r[2]), copy->GetLimits().GetAxisLength());
    for (int i = 0; i < node->GetChildCount(); ++i)
        ok = WriteNodeBasePosition(node->GetChild(i), copy->GetChild(i)) && ok;
    return ok;
}

bool KZeqWriterMotionAnalysisHtr::WriteNodeAnimation(KZeqNode* node, KZeqNode* copy, int frames, int& counter,
                                                     int segments) {
    if (IsEndSite(node)) return true;
    mOptions->ProgressCallback(nullptr, nullptr, static_cast<float>(counter * 50 / (segments > 0 ? segments : 1) + 50));
    ++counter;
    bool ok = mFile->PrintAnimationHeader(node->GetNameWithoutNameSpacePrefix().Buffer());
    KFCurve* const* curves = Curves(copy);
    for (int k = 0; k < frames; ++k) {
        double v[6];
        for (int c = 0; c < 6; ++c) v[c] = curves[c]->KeyGetPtr(k)->GetValue();
        ok = mFile->PrintAnimation(k + 1, KgeTVector(v[0], v[1], v[2]), KgeRVector(v[3], v[4], v[5])) && ok;
    }
    for (int i = 0; i < node->GetChildCount(); ++i)
        ok = WriteNodeAnimation(node->GetChild(i), copy->GetChild(i), frames, counter, segments) && ok;
    return ok;
}

bool KZeqWriterMotionAnalysisHtr::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) {
    KZeqNode* root = FindRootNode(scene);
    if (!root) return Refuse(eFileNotCreated, "Can not find root node.");
    KStreamOptionsMotion* motion = &options;
    KString message = "Spaces are not allowed in HTR node names:";
    if (!CheckSpaceInNodeNameRecursive(root, message)) {
        motion->MessageCallback(1, "Error", message.Buffer(), "OK", nullptr, nullptr, 0);
        return Refuse(eUnidentifiedError, message.Buffer());
    }
    // Every walk below recurses: a tree deeper than a skeleton can be is refused.
    std::vector<std::pair<KZeqNode*, int>> pending{{root, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > KZeqFileMotionAnalysisHtr::kMaxDepth)
            return Refuse(eUnidentifiedError, "Skeleton hierarchy too deep");
        for (int i = 0; i < node->GetChildCount(); ++i) pending.emplace_back(node->GetChild(i), depth + 1);
    }
    mOptions = motion;
    mRoot = root;

    KgeAMatrix identity;
    Identity(identity);
    const bool global = motion->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == KStreamOptionsMotion::eOn;
    const KgeAMatrix* offset = global ? nullptr : &identity;
    KZeqNode* reference = global ? scene.GetRootNode() : root->GetParent();
    KZeqNode* copy = CopyNodeTree(root);
    if (!copy || !reference) {
        if (copy) mManager.DestroyKZeqNode(copy, true);
        mOptions = nullptr;
        return Refuse(eUnidentifiedError, "Out of memory");
    }
    const KZeqXMatrix identityMatrix;
    reference->SetLocalStateFromDefaultTake(true);
    reference->SetGlobalState(identityMatrix);
    reference->SetGlobalStateId(0, true);
    reference->SetGlobalStateId(1, false);
    KZeqPose* pose = KZeqFileMotionAnalysisHtr::RetrieveRestPose(scene, reference->GetNameWithoutNameSpacePrefix().Buffer());
    ConvertBasePosition(root, copy, pose, offset);
    const KZeqMotionJointStates states(*reference);

    const int frames = motion->GetFrameCount();
    mSegments.clear();
    const KTime start = motion->GetStart();
    const KTime period = motion->GetFramePeriod();
    bool ok = ConvertAnimationBegin(root, copy);
    for (int i = 0; ok && i < frames; ++i) {
        motion->ProgressCallback(nullptr, "Converting HTR nodes", static_cast<float>(50LL * i / frames));
        const KTime time = start + period * i;
        // Full transforms folded in: the frames are taken from the global states.
        states.SetFromRoot(time);
        ConvertAnimation(root, copy, time, 1.0 / mFileUnit, offset, ok);
    }
    ConvertAnimationEnd(root, copy);
    motion->ProgressCallback(nullptr, "Writing HTR nodes", 50.0f);

    if (ok) {
        const int segments = GetSegmentCount(root);
        // The format's rate is an integer: 29.97 frames per second write 29.
        const double rate = period.Get() > 0 ? static_cast<double>(KTime::OneSecond().Get()) / period.Get() : 0.0;
        ok = mFile->PrintHeader(segments, frames, rate < 2147483647.0 ? static_cast<int>(rate) : 0);
        ok = mFile->PrintHierarchyHeader() && ok;
        ok = WriteNodeHierarchy(root, nullptr) && ok;
        ok = mFile->PrintBasePositionHeader() && ok;
        ok = WriteNodeBasePosition(root, copy) && ok;
        int counter = 0;
        ok = WriteNodeAnimation(root, copy, frames, counter, segments) && ok;
        ok = mFile->PrintFooter() && ok;
        ok = mFile->Flush() && ok;
        if (!ok) WriteFailed();
    } else {
        Refuse(eUnidentifiedError, "Out of memory");
    }
    mManager.DestroyKZeqNode(copy, true);
    mSegments.clear();
    mOptions = nullptr;
    mRoot = nullptr;
    return ok;
}

}  // namespace zeqsdk_400
