// HTR segments turned into skeleton nodes, their frames into curves, and the
// rest pose kept for the writer.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "base/kzeqmatrix.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"
#include "formats/motion/kzeqmotionkeys.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// Makes three rotation curves with their keys at the same times continuous
// key by key from (0, 0, 0), as the unroll filter does; false (nothing
// changed) when their keys are not aligned.
bool KeepContinuous(KFCurve** curves) {
    const int count = curves[0]->KeyGetCount();
    if (curves[1]->KeyGetCount() != count || curves[2]->KeyGetCount() != count) return false;
    // The filter leaves a single key as it is.
    if (count < 2) return true;
    for (int k = 0; k < count; ++k)
        if (curves[1]->KeyGetPtr(k)->GetTime() != curves[0]->KeyGetPtr(k)->GetTime() ||
            curves[2]->KeyGetPtr(k)->GetTime() != curves[0]->KeyGetPtr(k)->GetTime())
            return false;
    motionkeys::ContinuousEuler continuity;
    for (int k = 0; k < count; ++k) {
        double angles[3];
        for (int c = 0; c < 3; ++c) angles[c] = curves[c]->KeyGetPtr(k)->GetValue();
        continuity.Apply(angles);
        for (int c = 0; c < 3; ++c) curves[c]->KeyGetPtr(k)->SetValue(static_cast<float>(angles[c]));
    }
    return true;
}

void Identity(KgeAMatrix& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
}

KFCurve* ChannelCurve(KFCurveNode* channel, const char* axis) {
    if (!channel) return nullptr;
    const int index = channel->Find(axis);
    return index >= 0 ? channel->Get(index)->FCurveGet() : nullptr;
}

KZeqSkeleton* LimbNode(KZeqSdkManager& manager) {
    KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
    if (skeleton) skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
    return skeleton;
}

}  // namespace

KZeqHtrSegment* KZeqFileMotionAnalysisHtr::GetSegmentByName(const char* name) {
    for (auto& segment : mSegments)
        if (std::strcmp(segment->mName, name) == 0) return segment.get();
    return nullptr;
}

KZeqHtrSegment* KZeqFileMotionAnalysisHtr::GetSegmentByNode(KZeqNode* node) {
    const auto found = mSegmentOfNode.find(node);
    return found == mSegmentOfNode.end() ? nullptr : mSegments[static_cast<std::size_t>(found->second)].get();
}

// ---- Nodes ------------------------------------------------------------------------------------

bool KZeqFileMotionAnalysisHtr::CreateNodes(KZeqSdkManager& manager, KZeqNode* parent, const char* takeName,
                                            KStreamOptionsMotion*) {
    mCreated.clear();
    mSegmentOfNode.clear();
    if (!parent) return false;
    // Parents by name (the first segment of a name), and the one root.
    std::unordered_map<std::string_view, int> byName;
    for (int i = 0; i < GetSegmentCount(); ++i) byName.emplace(mSegments[static_cast<std::size_t>(i)]->mName, i);
    int root = -1;
    for (int i = 0; i < GetSegmentCount(); ++i) {
        KZeqHtrSegment& segment = *mSegments[static_cast<std::size_t>(i)];
        const auto found = byName.find(segment.mParentName);
        segment.mParent = found == byName.end() ? -1 : found->second;
        if (segment.mParent >= 0) continue;
        if (root >= 0) return !Error("Two root segments (%s, %s)\n", mSegments[static_cast<std::size_t>(root)]->mName,
                                     segment.mName);
        root = i;
    }
    if (root < 0) return !Error("No root segment\n");
    // Parents that go round in a loop never reach the root: their nodes would hang nowhere.
    for (int i = 0; i < GetSegmentCount(); ++i) {
        int steps = 0;
        for (int j = i; mSegments[static_cast<std::size_t>(j)]->mParent >= 0; j = mSegments[static_cast<std::size_t>(j)]->mParent)
            if (++steps > kMaxDepth)
                return !Error("Segment %s does not descend from the root\n", mSegments[static_cast<std::size_t>(i)]->mName);
    }

    for (int i = 0; i < GetSegmentCount(); ++i) {
        KZeqHtrSegment& segment = *mSegments[static_cast<std::size_t>(i)];
        KZeqNode* node = manager.CreateKZeqNode(segment.mName);
        if (!node) {
            DestroyNodes(manager);
            return false;
        }
        mCreated.push_back(node);
        segment.mNode = node;
        mSegmentOfNode[node] = i;
        node->SetNodeAttribute(LimbNode(manager));
        double angles[3];
        KmRtoVord(angles, segment.mBaseRotation, 0);
        node->SetDefaultT(KZeqVector4(segment.mBaseTranslation.mData[0], segment.mBaseTranslation.mData[1],
                                      segment.mBaseTranslation.mData[2], 0.0));
        node->SetDefaultR(KZeqVector4(angles[0], angles[1], angles[2], 0.0));
        node->SetDefaultS(KZeqVector4(1.0, 1.0, 1.0, 0.0));
        node->CreateTakeNode(takeName);
        node->SetCurrentTakeNode(takeName);
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        KFCurveNode* tree = take ? take->GetKFCurveNode() : nullptr;
        static const char* const kChannels[3] = {"T", "R", "S"};
        static const char* const kAxes[3] = {"X", "Y", "Z"};
        for (int c = 0; c < 3; ++c) {
            KFCurveNode* channel = tree ? tree->FindRecursive(kChannels[c]) : nullptr;
            for (int a = 0; a < 3; ++a) segment.mCurves[c * 3 + a] = ChannelCurve(channel, kAxes[a]);
        }
        for (KFCurve* curve : segment.mCurves) {
            if (curve) continue;
            DestroyNodes(manager);
            return !Error("Segment %s has no transform curves\n", segment.mName);
        }
    }
    for (auto& segment : mSegments) {
        KZeqNode* above = segment->mParent >= 0 ? mSegments[static_cast<std::size_t>(segment->mParent)]->mNode : parent;
        if (!above->AddChild(segment->mNode)) {
            DestroyNodes(manager);
            return false;
        }
    }
    for (auto& segment : mSegments) {
        SetLimits(*segment);
        if (segment->mNode->GetChildCount() > 0) continue;
        char name[KZeqHtrSegment::kMaxNameLength + 8];
        std::snprintf(name, sizeof(name), "%s_End", segment->mName);
        KZeqNode* end = manager.CreateKZeqNode(name);
        if (!end) {
            DestroyNodes(manager);
            return false;
        }
        end->SetNodeAttribute(LimbNode(manager));
        segment->mNode->AddChild(end);
        SetLimitsEnd(*segment);
    }
    return true;
}

void KZeqFileMotionAnalysisHtr::DestroyNodes(KZeqSdkManager& manager) {
    // Only the tops: a node below another made here ends with it.
    const std::unordered_set<KZeqNode*> created(mCreated.begin(), mCreated.end());
    std::vector<KZeqNode*> tops;
    for (KZeqNode* node : mCreated)
        if (!node->GetParent() || !created.count(node->GetParent())) tops.push_back(node);
    for (KZeqNode* node : tops) {
        if (KZeqNode* parent = node->GetParent()) parent->RemoveChild(node);
        manager.DestroyKZeqNode(node, true);
    }
    mCreated.clear();
    mSegmentOfNode.clear();
    for (auto& segment : mSegments) {
        segment->mNode = nullptr;
        for (KFCurve*& curve : segment->mCurves) curve = nullptr;
    }
}

void KZeqFileMotionAnalysisHtr::SetLimits(KZeqHtrSegment& segment) {
    KZeqNode* node = segment.mNode;
    KgeRMatrix global;
    Identity(global);
    KgeSetRM(global, node->GetGlobalFromDefaultTake().mData);
    KmRi(segment.mRestOffset, global);
    KgeRMatrix axisMatrix;
    Identity(axisMatrix);
    KmRR(axisMatrix, global, mBoneAxis);
    double axis[3];
    KmRtoVord(axis, axisMatrix, 0);
    const KZeqVector4 axisVector(axis[0], axis[1], axis[2], 0.0);
    KZeqNodeLimits& limits = node->GetLimits();
    limits.SetAuto(KZeqNodeLimits::eT, false);
    limits.SetAuto(KZeqNodeLimits::eR, false);
    KZeqVector4 t;
    limits.SetDefault(KZeqNodeLimits::eT, node->GetDefaultT(t));
    limits.SetDefault(KZeqNodeLimits::eR, axisVector);
    limits.SetRotationAxis(axisVector);
    limits.SetAxisLength(segment.mLength);
    limits.SetRotationType(KZeqNodeLimits::eROTATION_SPHERIC_XYZ);
    limits.SetRotationClampType(KZeqNodeLimits::eROTATION_CLAMP_ELLIPSOID);
    limits.SetMin(KZeqNodeLimits::eR, KZeqVector4(-180.0, -150.0, -150.0, 1.0));
    limits.SetMax(KZeqNodeLimits::eR, KZeqVector4(180.0, 150.0, 150.0, 1.0));
}

void KZeqFileMotionAnalysisHtr::SetLimitsEnd(KZeqHtrSegment& segment) {
    KZeqNode* end = segment.mNode->GetChild(0);
    KZeqNodeLimits& limits = end->GetLimits();
    limits.SetAuto(KZeqNodeLimits::eT, false);
    limits.SetAuto(KZeqNodeLimits::eR, false);
    limits.SetEnable(KZeqNodeLimits::eT, true);
    KZeqVector4 t;
    t[mBoneLengthAxis] = segment.mNode->GetLimits().GetAxisLength();
    end->SetDefaultT(t);
    limits.SetDefault(KZeqNodeLimits::eT, t);
    limits.SetAxisLength(0.0);
}

// ---- Frames -----------------------------------------------------------------------------------

bool KZeqFileMotionAnalysisHtr::ReadFrame(KZeqHtrSegment& segment, int index, KTime time) {
    int frame = 0;
    double t[3], r[3], sf = 0.0;
    if (!GetInteger(frame) || !ReadVector(t)) return !Error("Can't read frame translation\n");
    if (!ReadVector(r)) return !Error("Can't read frame rotation\n");
    if (!ReadNumber(sf)) return !Error("Can't read frame scaling\n");
    const double scale = mCalibrationFactor / mScaleFactor;
    double translation[3];
    for (int i = 0; i < 3; ++i) translation[i] = t[i] * scale + segment.mBaseTranslation.mData[i];
    KgeRMatrix m;
    KmIJKtoR(m, r[0] * mRotationFactor, r[1] * mRotationFactor, r[2] * mRotationFactor, mRotationOrder);
    KmRR(m, segment.mBaseRotation, m);
    double angles[3];
    KmRtoVord(angles, m, 0);
    // Keys arrive in time order; they are appended as rows come, so that a
    // frame count the file does not hold reserves nothing.
    (void)index;
    const double values[9] = {translation[0], translation[1], translation[2], angles[0], angles[1], angles[2],
                              1.0, 1.0, 1.0};
    for (int c = 0; c < 9; ++c)
        if (segment.mCurves[c]->KeyAppendFast(time, static_cast<float>(values[c])) < 0)
            return !Error("Out of memory\n");
    return true;
}

bool KZeqFileMotionAnalysisHtr::ReadFrames(KStreamOptionsMotion* options, KZeqNode*) {
    mFramesHeld = -1;
    if (mDataType != 0 || !options) return false;
    if (options->GetFrameCount() > mFrameCount) options->SetFrameCount(mFrameCount);
    const KTime start = options->GetStart();
    const KTime period = options->GetFramePeriod();
    int count = options->GetFrameCount();
    std::vector<bool> read(mSegments.size(), false);
    // Rows each section holds of those asked for: exporters exist whose
    // sections all stop a row short of NumFrames.
    std::vector<int> held(mSegments.size(), count);
    char word[KZeqHtrSegment::kMaxNameLength + 3];
    bool ok = true;
    bool onHeader = true;
    for (int i = 0; ok && i < GetSegmentCount(); ++i) {
        options->ProgressCallback(nullptr, "Reading HTR nodes", static_cast<float>(i * 100 / GetSegmentCount()));
        if (!onHeader && !NextLine()) return !Error("Unexpected end of file\n");
        onHeader = false;
        if (!GetString(word, KZeqHtrSegment::kMaxNameLength + 2)) return !Error("Can't read frame name\n");
        const std::size_t length = std::strlen(word);
        if (length < 2 || word[0] != '[' || word[length - 1] != ']') return false;
        word[length - 1] = '\0';
        KZeqHtrSegment* segment = GetSegmentByName(word + 1);
        if (!segment) return false;
        const std::size_t index = static_cast<std::size_t>(mSegmentOfNode[segment->mNode]);
        if (read[index]) return !Error("Frames of %s given twice\n", segment->mName);
        read[index] = true;
        for (KFCurve* curve : segment->mCurves) curve->KeyModifyBegin();
        for (int k = 0; ok && k < count; ++k) {
            // The next section's name or the end of the file ends a short section.
            if (!NextLine()) {
                ok = IsEndOfFile() || !Error("Unexpected end of file\n");
                held[index] = k;
                break;
            }
            if (*GetCursor() == '[') {
                onHeader = true;
                held[index] = k;
                break;
            }
            ok = ReadFrame(*segment, k, start + period * k);
        }
        // Rows beyond the frames asked for are passed over, up to the next section.
        for (int k = count; ok && !onHeader && k < mFrameCount && NextLine(); ++k) {
            if (*GetCursor() != '[') continue;
            onHeader = true;
            break;
        }
        for (KFCurve* curve : segment->mCurves) curve->KeyModifyEnd();
    }
    if (!ok) return false;
    // Short sections are read when they all hold the same frames; sections
    // that disagree leave no frame count that fits every segment.
    const int rows = held.empty() ? count : held.front();
    for (int r : held)
        if (r != rows) return !Error("Frame sections hold different numbers of rows\n");
    if (rows < count) {
        count = rows;
        mFramesHeld = rows;
        options->SetFrameCount(rows);
    }

    if (mMinimizeOffset) {
        // From the HTR root's own node: the first child of the top node may
        // belong to another import when the skeleton hangs below the scene's root.
        KZeqNode* root = nullptr;
        for (auto& segment : mSegments)
            if (segment->mParent < 0) root = segment->mNode;
        KgeAMatrix identity;
        Identity(identity);
        for (int k = 0; k < count; ++k)
            if (!MinimizeRotationOffset(root, identity, identity, k)) return false;
        // The default values take the same rewrite, so that the default take
        // (the skeleton writers read) and the keys hold one skeleton in one
        // set of axes.
        if (!MinimizeRotationOffset(root, identity, identity, kDefaultValues)) return false;
    }
    const int filter = KFCURVE_GetRotationFilterToApply();
    const bool continuous = motionkeys::UnrollWhileKeying();
    for (auto& segment : mSegments) {
        if (continuous && KeepContinuous(segment->mCurves + 3)) {
            // What the unroll filter makes of aligned keys, without its copies.
        } else if (filter == KFCURVE_ROTATION_FILTER_UNROLL) {
            KFCurveFilterUnroll unroll;
            unroll.Apply(segment->mCurves + 3, 3);
        } else if (filter == KFCURVE_ROTATION_FILTER_GIMBLE_KILLER) {
            KFCurveFilterGimbleKiller killer;
            killer.Apply(segment->mCurves + 3, 3);
        }
        if (KFCURVE_GetUseConstantKeyReducer()) {
            KFCurveFilterConstantKeyReducer reducer;
            reducer.Apply(segment->mCurves, 3);
            reducer.Apply(segment->mCurves + 3, 3);
        }
    }
    return true;
}

bool KZeqFileMotionAnalysisHtr::MinimizeRotationOffset(KZeqNode* node, const KgeAMatrix& a, const KgeAMatrix& b,
                                                       int k) {
    if (!node) return false;
    if (node->GetChildCount() == 0) {
        // An end node: one bone along the parent's limit axis.
        KZeqNode* parent = node->GetParent();
        if (!parent) return false;
        const KZeqVector4 axis = parent->GetLimits().GetRotationAxis();
        KgeRMatrix r;
        KmXYZtoR(r, axis[0], axis[1], axis[2]);
        const double length = parent->GetLimits().GetAxisLength();
        const KZeqVector4 t(r[0][0] * length, r[0][1] * length, r[0][2] * length, 0.0);
        node->SetDefaultT(t);
        KZeqNodeLimits& limits = node->GetLimits();
        limits.SetDefault(KZeqNodeLimits::eT, t);
        limits.SetAuto(KZeqNodeLimits::eT, false);
        limits.SetAuto(KZeqNodeLimits::eR, false);
        limits.SetEnable(KZeqNodeLimits::eT, true);
        limits.SetAxisLength(0.0);
        return true;
    }
    KZeqHtrSegment* segment = GetSegmentByNode(node);
    if (!segment) return false;
    KFCurve** curves = segment->mCurves;
    const bool defaults = k == kDefaultValues;
    if (!defaults && curves[0]->KeyGetCount() <= k) return false;
    KgeAMatrix local, g1, g2, corrected;
    Identity(local);
    KZeqVector4 defaultT, defaultR;
    if (defaults) {
        node->GetDefaultT(defaultT);
        node->GetDefaultR(defaultR);
        KmXYZtoR(local, defaultR[0], defaultR[1], defaultR[2]);
        for (int j = 0; j < 3; ++j) local[3][j] = defaultT[j];
    } else {
        KmXYZtoR(local, curves[3]->KeyGetPtr(k)->GetValue(), curves[4]->KeyGetPtr(k)->GetValue(),
                 curves[5]->KeyGetPtr(k)->GetValue());
        for (int j = 0; j < 3; ++j) local[3][j] = curves[j]->KeyGetPtr(k)->GetValue();
    }
    KmAA(g1, a, local);
    KgeAMatrix rest;
    Identity(rest);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) rest[r][c] = segment->mRestOffset[r][c];
    KmAA(g2, g1, rest);
    KmAiA(corrected, b, g2);
    KgeRMatrix rotation;
    Identity(rotation);
    KgeSetRM(rotation, corrected);
    const double det = rotation[0][0] * (rotation[1][1] * rotation[2][2] - rotation[1][2] * rotation[2][1]) -
                       rotation[0][1] * (rotation[1][0] * rotation[2][2] - rotation[1][2] * rotation[2][0]) +
                       rotation[0][2] * (rotation[1][0] * rotation[2][1] - rotation[1][1] * rotation[2][0]);
    if (det < 0.0)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) rotation[r][c] = -rotation[r][c];
    double angles[3];
    // The general extraction: the X-first one takes a turn within a tenth of a degree of a
    // quarter turn about Y for the quarter turn itself.
    KmRtoVord(angles, rotation, 0);
    if (defaults) {
        const KZeqVector4 t(corrected[3][0], corrected[3][1], corrected[3][2], 0.0);
        node->SetDefaultT(t);
        node->SetDefaultR(KZeqVector4(angles[0], angles[1], angles[2], 0.0));
        node->GetLimits().SetDefault(KZeqNodeLimits::eT, t);
    } else {
        for (int j = 0; j < 3; ++j) {
            curves[j]->KeyGetPtr(k)->SetValue(static_cast<float>(corrected[3][j]));
            curves[3 + j]->KeyGetPtr(k)->SetValue(static_cast<float>(angles[j]));
        }
    }
    for (int i = 0; i < node->GetChildCount(); ++i)
        if (!MinimizeRotationOffset(node->GetChild(i), g1, g2, k)) return false;
    return true;
}

// ---- Rest pose --------------------------------------------------------------------------------

bool KZeqFileMotionAnalysisHtr::StoreRestPose(KZeqSdkManager& manager, KZeqScene& scene, const char* name) {
    const KString poseName = KString(name ? name : "") + "_RESTPOSE";
    KZeqPose* pose = manager.CreateKZeqPose(poseName.Buffer(), false);
    if (!pose) return false;
    for (auto& segment : mSegments) {
        double angles[3];
        KmRtoVord(angles, segment->mBaseRotation, 0);
        const KgeTVector& t = segment->mBaseTranslation;
        const KZeqMatrix matrix(KZeqVector4(t.mData[0], t.mData[1], t.mData[2], 0.0),
                                KZeqVector4(angles[0], angles[1], angles[2], 0.0), KZeqVector4(1.0, 1.0, 1.0, 0.0));
        if (pose->Add(segment->mName, matrix, true) < 0) {
            manager.DestroyKZeqPose(pose);
            return false;
        }
    }
    if (!scene.AddPose(pose)) {
        manager.DestroyKZeqPose(pose);
        return false;
    }
    return true;
}

KZeqPose* KZeqFileMotionAnalysisHtr::RetrieveRestPose(KZeqScene& scene, const char* name) {
    const KString poseName = KString(name ? name : "") + "_RESTPOSE";
    for (int i = 0; i < scene.GetPoseCount(); ++i) {
        KZeqPose* pose = scene.GetPose(i);
        if (pose && (poseName == pose->GetName() || poseName == pose->GetNameWithoutNameSpacePrefix())) return pose;
    }
    return nullptr;
}

}  // namespace zeqsdk_400
