#include "formats/motion/asf/kzeqreaderacclaimasf.h"

#include "fileio/kpath.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/asf/kzeqfileacclaimasf.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqReaderAcclaimAsf::KZeqReaderAcclaimAsf(KZeqSdkManager& manager) : KZeqMotionFileReader(manager) {}

KZeqReaderAcclaimAsf::~KZeqReaderAcclaimAsf() = default;

KStreamOptions* KZeqReaderAcclaimAsf::GetReadOptions(bool) {
    if (!CheckOpen()) return nullptr;
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eImportCreateReferenceNode, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportDummyNodes, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eImportLimits, KStreamOptionsMotion::eOff);
    return options;
}

bool KZeqReaderAcclaimAsf::Read(KZeqScene& scene, KStreamOptions* options) {
    KStreamOptionsMotion* motion = CheckRead(options);
    if (!motion) return false;
    KZeqAsfScene* asf = new KZeqAsfScene;
    motion->ProgressCallback(nullptr, "Reading ASF node hierarchy", 0.0f);
    const bool removeDummies = motion->GetOption(KStreamOptionsMotion::eImportDummyNodes) != KStreamOptionsMotion::eOn;
    const bool withLimits = motion->GetOption(KStreamOptionsMotion::eImportLimits) == KStreamOptionsMotion::eOn;
    auto fail = [&](KZeqNode* created) {
        if (created) mManager.DestroyKZeqNode(created, true);
        asf->Destroy();
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    };
    if (!mFile->Read(asf, removeDummies)) return fail(nullptr);
    KZeqNode* top = asf->ASFToZEQ(mManager, "", withLimits);
    if (!top) return fail(nullptr);

    KString message = KString("Duplicate names found in ") + ExtractFileName(mFileName.Buffer(), true) + ":";
    if (!CheckDuplicateNodeNames(top, message)) {
        motion->MessageCallback(1, "Error", message.Buffer(), "Ok", nullptr, nullptr, 0);
        return fail(top);
    }
    KZeqNode* attached = top;
    if (motion->GetOption(KStreamOptionsMotion::eImportCreateReferenceNode) == KStreamOptionsMotion::eOn) {
        const KString name = KString(*asf->GetName() ? asf->GetName() : "ASF") + ":reference";
        KZeqNode* reference = mManager.CreateKZeqNode(name.Buffer());
        if (!reference) return fail(top);
        reference->AddChild(top);
        attached = reference;
    }
    // Names already in the scene refuse the skeleton: nothing is attached then.
    KZeqNode* sceneRoot = scene.GetRootNode();
    if (!sceneRoot || !sceneRoot->AddChild(attached)) {
        mMessage = "The skeleton's node names are already used in the scene";
        return fail(attached);
    }
    motion->SetASFScene(asf, true);
    return true;
}

}  // namespace zeqsdk_400
