#include "formats/motion/asf/kzeqreaderacclaimamc.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/karray.h"
#include "fileio/kpath.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/asf/kzeqfileacclaimamc.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

KZeqReaderAcclaimAmc::KZeqReaderAcclaimAmc(KZeqSdkManager& manager) : KZeqMotionFileReader(manager) {}

KZeqReaderAcclaimAmc::~KZeqReaderAcclaimAmc() = default;

KStreamOptions* KZeqReaderAcclaimAmc::GetReadOptions(bool) {
    return ReadFileOptions();
}

KString KZeqReaderAcclaimAmc::GenerateTakeName(KZeqScene& scene, const char* fileName) {
    const KString base = ExtractFileName(fileName ? fileName : "", false);
    KArrayTemplate<KString*> names;
    scene.FillTakeNameArray(names);
    std::vector<std::string> taken;
    for (int i = 0; i < names.GetCount(); ++i) {
        taken.emplace_back(names[i]->Buffer());
        delete names[i];
    }
    auto used = [&taken](const KString& name) {
        return std::find(taken.begin(), taken.end(), std::string(name.Buffer())) != taken.end();
    };
    if (!used(base)) return base;
    for (int number = 1;; ++number) {
        KString candidate = base + " " + number;
        if (!used(candidate)) return candidate;
    }
}

bool KZeqReaderAcclaimAmc::Read(KZeqScene& scene, KStreamOptions* options) {
    KStreamOptionsMotion* motion = CheckRead(options);
    if (!motion) return false;
    KObject* object = motion->GetASFScene();
    if (!object || !object->Is(KZeqAsfScene::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    auto* asf = static_cast<KZeqAsfScene*>(object);
    if (!mFile->Read(asf, motion)) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    const KString takeName = GenerateTakeName(scene, mFileName.Buffer());
    const bool withLimits = motion->GetOption(KStreamOptionsMotion::eImportLimits) == KStreamOptionsMotion::eOn;

    KZeqNode* sceneRoot = scene.GetRootNode();
    KZeqNode* target = sceneRoot;
    KZeqNode* createdReference = nullptr;
    bool ok = sceneRoot != nullptr;
    if (ok && motion->GetOption(KStreamOptionsMotion::eImportCreateReferenceNode) == KStreamOptionsMotion::eOn) {
        const KString name = KString(*asf->GetName() ? asf->GetName() : "ASF") + ":reference";
        target = sceneRoot->FindChild(name.Buffer(), true);
        if (!target) {
            target = createdReference = mManager.CreateKZeqNode(name.Buffer());
            ok = target && sceneRoot->AddChild(target);
        }
    }
    KZeqAsfScene::MergeRecord record;
    if (ok) ok = asf->MergeASFToZEQ(mManager, target, takeName.Buffer(), withLimits, record);
    if (!ok) {
        // Undo: the take on the nodes that got it, then the nodes made here.
        for (KZeqNode* node : record.mTaken) node->RemoveTakeNode(takeName.Buffer());
        for (auto created = record.mCreated.rbegin(); created != record.mCreated.rend(); ++created)
            mManager.DestroyKZeqNode(*created, true);
        if (createdReference) mManager.DestroyKZeqNode(createdReference, true);
        asf->GetRoot()->DeleteCurvesRecursive();
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    asf->GetRoot()->DeleteCurvesRecursive();

    const KTime start = motion->GetStart();
    const int count = motion->GetFrameCount();
    const KTime stop = count > 0 ? start + motion->GetFramePeriod() * (count - 1) : start;
    KZeqTakeInfo info;
    info.mName = takeName;
    info.mLocalTimeSpan.Set(start, stop);
    info.mReferenceTimeSpan.Set(start, stop);
    scene.SetTakeInfo(info);
    scene.SetCurrentTake(takeName.Buffer());
    return true;
}

}  // namespace zeqsdk_400
