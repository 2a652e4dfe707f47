#ifndef ZEQ_BENCH_MOTIONSKELETON_BENCH_SUPPORT_H
#define ZEQ_BENCH_MOTIONSKELETON_BENCH_SUPPORT_H

// The joints of the motion writers' benchmarks: skeleton joints whose rotation is keyed frame by
// frame in "Take 001", and the take made the scene's current one.

#include <string>

#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

namespace motionskeletonbench {

// Joint J<index>: a skeleton root or a limb.
inline zeqsdk_400::KZeqNode* Joint(zeqsdk_400::KZeqSdkManager& manager, int index, bool root) {
    using namespace zeqsdk_400;
    KZeqNode* node = manager.CreateKZeqNode(("J" + std::to_string(index)).c_str());
    KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
    skeleton->SetSkeletonType(root ? KZeqSkeleton::eROOT : KZeqSkeleton::eLIMB_NODE);
    node->SetNodeAttribute(skeleton);
    return node;
}

// The joint's rotation about X, Y and Z keyed at frames of period from 0 with angle(frame, axis)
// degrees in "Take 001", made current (after its default values: the take starts from them); the
// joint selected.
template <class Angle>
void KeyRotation(zeqsdk_400::KZeqNode& node, int frames, zeqsdk_400::KTime period, const Angle& angle) {
    using namespace zeqsdk_400;
    node.CreateTakeNode("Take 001");
    node.SetCurrentTakeNode("Take 001");
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    KFCurve* curves[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
    for (int c = 0; c < 3; ++c) {
        KTime time;
        for (int f = 0; f < frames; ++f, time += period)
            curves[c]->KeyAppendFast(time, static_cast<float>(angle(f, c)));
    }
    node.SetSelected(true);
}

// "Take 001" over frames of period, the scene's current take.
inline void UseTake(zeqsdk_400::KZeqScene& scene, int frames, zeqsdk_400::KTime period) {
    using namespace zeqsdk_400;
    KZeqTakeInfo info;
    info.mName = "Take 001";
    info.mLocalTimeSpan = KTimeSpan(KTime(), period * (frames - 1));
    info.mReferenceTimeSpan = info.mLocalTimeSpan;
    scene.SetTakeInfo(info);
    scene.SetCurrentTake("Take 001");
}

}  // namespace motionskeletonbench

#endif
