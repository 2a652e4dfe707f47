#include "formats/motion/bvh/kzeqreaderbiovision.h"

#include <vector>

#include "fileio/kpath.h"
#include "formats/motion/bvh/kzeqfilebiovision.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

KZeqReaderBiovision::KZeqReaderBiovision(KZeqSdkManager& manager) : KZeqMotionFileReader(manager) {}

KZeqReaderBiovision::~KZeqReaderBiovision() = default;

KStreamOptions* KZeqReaderBiovision::GetReadOptions(bool /*parseFile*/) {
    return ReadFileOptions();
}

bool KZeqReaderBiovision::Read(KZeqScene& scene, KStreamOptions* streamOptions) {
    KStreamOptionsMotion* options = CheckRead(streamOptions);
    if (!options) return false;
    options->ProgressCallback(nullptr, "Reading BVH nodes", 0.0f);
    if (!mFile->ReadMain(options)) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }

    // Everything this read adds hangs below these nodes until it succeeds:
    // on failure they go with their subtrees, and the scene is as it was.
    std::vector<KZeqNode*> made;
    auto fail = [&](int error) {
        for (KZeqNode* node : made) mManager.DestroyKZeqNode(node, true);
        mError.SetLastErrorID(error);
        return false;
    };

    const KString takeName = ExtractFileName(mFileName.Buffer(), false);
    KZeqNode* reference = mManager.CreateKZeqNode("BVH:reference");
    if (!reference) return fail(eFileCorrupted);
    made.push_back(reference);
    if (!mFile->CreateNodes(mManager, reference, takeName.Buffer(), options)) return fail(eFileCorrupted);

    KString duplicates = KString("Duplicate names found in ") + ExtractFileName(mFileName.Buffer(), true) + ":";
    if (!CheckDuplicateNodeNames(reference, duplicates)) {
        options->MessageCallback(1, "Error", duplicates.Buffer(), "Ok", nullptr, nullptr, 0);
        if (!mMessage.IsEmpty()) mMessage += "\n";
        mMessage += duplicates;
        return fail(eFileCorrupted);
    }

    KZeqNode* sceneRoot = scene.GetRootNode();
    if (!sceneRoot) return fail(eFileCorrupted);
    if (options->GetOption(KStreamOptionsMotion::eImportCreateReferenceNode) == KStreamOptionsMotion::eOn) {
        if (!sceneRoot->AddChild(reference)) return fail(eFileCorrupted);
    } else {
        while (reference->GetChildCount() > 0) {
            KZeqNode* child = reference->GetChild(0);
            if (!sceneRoot->AddChild(child)) return fail(eFileCorrupted);
            made.push_back(child);
        }
        made.erase(made.begin());
        mManager.DestroyKZeqNode(reference, true);
    }

    if (!mFile->ReadFrames(options)) return fail(eFileCorrupted);

    const KTime start = options->GetStart();
    const int frames = options->GetFrameCount();
    const KTime stop = frames > 0 ? start + options->GetFramePeriod() * (frames - 1) : start;
    KZeqTakeInfo info;
    info.mName = takeName;
    info.mLocalTimeSpan = KTimeSpan(start, stop);
    info.mReferenceTimeSpan = KTimeSpan(start, stop);
    scene.SetTakeInfo(info);
    scene.SetCurrentTake(takeName.Buffer());
    return true;
}

}  // namespace zeqsdk_400
