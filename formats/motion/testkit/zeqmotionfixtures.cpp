// Animated chains of nodes with values known in closed form.
#include <cmath>

#include "content/kzeqmarker.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

namespace zeqmotiontest {

using namespace zeqsdk_400;

std::vector<KTime> Chain::Times() const { return FrameTimes(mStart, mPeriod, mFrames); }

Vec3 ChainOffset(const ChainSpec& spec, int n) {
    if (n == 0) return {1.0, 2.0, 3.0};
    return {0.1 * spec.mBoneLength * (n % 3), spec.mBoneLength, -0.05 * spec.mBoneLength * n};
}

double ChainValue(const ChainSpec& spec, int n, int c, int f) {
    const double a = spec.mAmplitude;
    if (c < 3) {
        const double offset = ChainOffset(spec, n)[static_cast<std::size_t>(c)];
        if (n != 0 && !spec.mAnimateTranslation) return offset;
        const double wiggle[3] = {0.5 * f, std::sin(0.2 * f + n), -0.25 * f};
        return offset + (n == 0 ? wiggle[c] : 0.1 * wiggle[c]);
    }
    if (!spec.mAnimateRotation) return 0.0;
    switch (c) {
        case 3: return a * std::sin(0.3 * f + n);
        case 4: return 0.5 * a * std::cos(0.2 * f + 2 * n);
        default: return a / 3.0 * std::sin(0.1 * f + 3 * n);
    }
}

Chain MakeAnimatedChain(KZeqSdkManager& manager, KZeqScene& scene, const ChainSpec& spec) {
    Chain chain;
    chain.mStart = KTime();
    chain.mPeriod.SetSecondDouble(1.0 / spec.mRate);
    chain.mFrames = spec.mFrames;
    const int total = spec.mJoints + spec.mBranchJoints;
    for (int n = 0; n < total; ++n) {
        const bool branch = n >= spec.mJoints;
        const std::string name = spec.mPrefix + (branch ? "B" + std::to_string(n - spec.mJoints) : std::to_string(n));
        KZeqNode* node = manager.CreateKZeqNode(name.c_str());
        switch (spec.mAttribute) {
            case ChainAttribute::kLimbNode: {
                KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
                skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
                node->SetNodeAttribute(skeleton);
                break;
            }
            case ChainAttribute::kMarker: node->SetNodeAttribute(manager.CreateKZeqMarker()); break;
            case ChainAttribute::kNull: node->SetNodeAttribute(manager.CreateKZeqNull()); break;
            case ChainAttribute::kNone: break;
        }
        KZeqNode* parent = n == 0 ? scene.GetRootNode()
                           : branch && n == spec.mJoints ? chain.mNodes[std::min(1, spec.mJoints - 1)]
                                                         : chain.mNodes.back();
        parent->AddChild(node);
        const Vec3 offset = ChainOffset(spec, n);
        node->SetDefaultT(KZeqVector4(offset[0], offset[1], offset[2], 0.0));
        node->CreateTakeNode(spec.mTake.c_str());
        node->SetCurrentTakeNode(spec.mTake.c_str());
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        KFCurve* curves[6] = {take->GetTranslationX(),   take->GetTranslationY(),   take->GetTranslationZ(),
                              take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        for (int c = 0; c < 6; ++c) {
            const bool animated = c < 3 ? (n == 0 || spec.mAnimateTranslation) : spec.mAnimateRotation;
            if (!animated || !curves[c]) continue;
            KTime time = chain.mStart;
            for (int f = 0; f < spec.mFrames; ++f, time += chain.mPeriod)
                curves[c]->KeyAppendFast(time, static_cast<float>(ChainValue(spec, n, c, f)));
        }
        chain.mNodes.push_back(node);
    }
    if (spec.mEndSites) {
        for (std::size_t n = 0; n < chain.mNodes.size(); ++n) {
            KZeqNode* leaf = chain.mNodes[n];
            if (leaf->GetChildCount() != 0) continue;
            const std::string name = leaf->GetNameWithoutNameSpacePrefix().Buffer() + std::string("_End");
            KZeqNode* site = manager.CreateKZeqNode(name.c_str());
            KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
            skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
            site->SetNodeAttribute(skeleton);
            leaf->AddChild(site);
            site->SetDefaultT(KZeqVector4(0.0, 0.5 * spec.mBoneLength, 0.0, 0.0));
            site->CreateTakeNode(spec.mTake.c_str());
            site->SetCurrentTakeNode(spec.mTake.c_str());
            chain.mEndSites.push_back(site);
        }
    }
    if (spec.mSelectTop && chain.Top()) chain.Top()->SetSelected(true);
    KZeqTakeInfo info;
    info.mName = spec.mTake.c_str();
    const KTime stop = spec.mFrames > 0 ? chain.mStart + chain.mPeriod * (spec.mFrames - 1) : chain.mStart;
    info.mLocalTimeSpan = KTimeSpan(chain.mStart, stop);
    info.mReferenceTimeSpan = info.mLocalTimeSpan;
    scene.SetTakeInfo(info);
    scene.SetCurrentTake(spec.mTake.c_str());
    return chain;
}

}  // namespace zeqmotiontest

namespace zeqmotiontest {

RefSkeleton ChainReference(const ChainSpec& spec) {
    RefSkeleton skeleton;
    const int total = spec.mJoints + spec.mBranchJoints;
    for (int n = 0; n < total; ++n) {
        RefJoint joint;
        const bool branch = n >= spec.mJoints;
        joint.mName = spec.mPrefix + (branch ? "B" + std::to_string(n - spec.mJoints) : std::to_string(n));
        joint.mParent = n == 0 ? -1 : branch && n == spec.mJoints ? std::min(1, spec.mJoints - 1) : n - 1;
        joint.mOffset = ChainOffset(spec, n);
        joint.mChannels = {RefChannel::kTx, RefChannel::kTy, RefChannel::kTz,
                           RefChannel::kRz, RefChannel::kRy, RefChannel::kRx};
        skeleton.mJoints.push_back(joint);
    }
    if (spec.mEndSites) {
        std::vector<bool> parent(skeleton.mJoints.size(), false);
        for (const RefJoint& joint : skeleton.mJoints)
            if (joint.mParent >= 0) parent[static_cast<std::size_t>(joint.mParent)] = true;
        for (int n = 0; n < total; ++n) {
            if (parent[static_cast<std::size_t>(n)]) continue;
            RefJoint site;
            site.mName = skeleton.mJoints[static_cast<std::size_t>(n)].mName + "_End";
            site.mParent = n;
            site.mOffset = {0.0, 0.5 * spec.mBoneLength, 0.0};
            skeleton.mJoints.push_back(site);
        }
    }
    return skeleton;
}

std::vector<double> ChainRow(const ChainSpec& spec, int f) {
    std::vector<double> row;
    const int total = spec.mJoints + spec.mBranchJoints;
    for (int n = 0; n < total; ++n)
        for (int c : {0, 1, 2, 5, 4, 3}) row.push_back(ChainValue(spec, n, c, f));
    return row;
}

}  // namespace zeqmotiontest
