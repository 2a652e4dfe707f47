#include "formats/motion/htr/kzeqreadermotionanalysishtr.h"

#include "fileio/kpath.h"
#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

KZeqReaderMotionAnalysisHtr::KZeqReaderMotionAnalysisHtr(KZeqSdkManager& manager) : KZeqMotionFileReader(manager) {}

KZeqReaderMotionAnalysisHtr::~KZeqReaderMotionAnalysisHtr() = default;

KStreamOptions* KZeqReaderMotionAnalysisHtr::GetReadOptions(bool) {
    return ReadFileOptions();
}

bool KZeqReaderMotionAnalysisHtr::Read(KZeqScene& scene, KStreamOptions* options) {
    KStreamOptionsMotion* motion = CheckRead(options);
    if (!motion) return false;
    // The message tells what this read met.
    mMessage.Empty();
    motion->ProgressCallback(nullptr, "Reading HTR nodes", 0.0f);
    if (!mFile->ReadMain(motion)) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    const KString takeName = ExtractFileName(mFileName.Buffer(), false);
    KZeqNode* reference = mManager.CreateKZeqNode("HTR:reference");
    KZeqNode* sceneRoot = scene.GetRootNode();
    // Whatever fails from here takes away every node this read made.
    auto fail = [&]() {
        mFile->DestroyNodes(mManager);
        if (reference) {
            if (KZeqNode* parent = reference->GetParent()) parent->RemoveChild(reference);
            mManager.DestroyKZeqNode(reference, true);
        }
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    };
    if (!reference || !sceneRoot || !mFile->CreateNodes(mManager, reference, takeName.Buffer(), motion)) return fail();

    KString message = KString("Duplicate names found in ") + ExtractFileName(mFileName.Buffer(), true) + ":";
    if (!CheckDuplicateNodeNames(reference, message)) {
        motion->MessageCallback(1, "Error", message.Buffer(), "Ok", nullptr, nullptr, 0);
        return fail();
    }
    KZeqNode* top = reference;
    if (motion->GetOption(KStreamOptionsMotion::eImportCreateReferenceNode) == KStreamOptionsMotion::eOn) {
        if (!sceneRoot->AddChild(reference)) return fail();
    } else {
        KZeqNode* rootNode = reference->GetChild(0);
        reference->RemoveChild(rootNode);
        if (!sceneRoot->AddChild(rootNode)) {
            reference->AddChild(rootNode);
            return fail();
        }
        mManager.DestroyKZeqNode(reference, true);
        reference = nullptr;
        top = sceneRoot;
    }
    if (!mFile->ReadFrames(motion, top)) return fail();
    if (mFile->GetFramesHeld() >= 0) {
        const KString warning = ExtractFileName(mFileName.Buffer(), true) + " declares " +
                                mFile->GetDeclaredFrameCount() + " frames but each frame section holds " +
                                mFile->GetFramesHeld() + ": " + mFile->GetFramesHeld() + " frames read.";
        if (!mMessage.IsEmpty()) mMessage += "\n";
        mMessage += warning;
        motion->MessageCallback(1, "Warning", warning.Buffer(), "Ok", nullptr, nullptr, 0);
    }

    const KTime start = motion->GetStart();
    const int count = motion->GetFrameCount();
    const KTime stop = count > 0 ? start + motion->GetFramePeriod() * (count - 1) : start;
    KZeqTakeInfo info;
    info.mName = takeName;
    info.mLocalTimeSpan.Set(start, stop);
    info.mReferenceTimeSpan.Set(start, stop);
    scene.SetTakeInfo(info);
    scene.SetCurrentTake(takeName.Buffer());
    mFile->StoreRestPose(mManager, scene, top->GetNameWithoutNameSpacePrefix().Buffer());
    return true;
}

}  // namespace zeqsdk_400
