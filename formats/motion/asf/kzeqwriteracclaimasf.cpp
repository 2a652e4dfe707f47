#include "formats/motion/asf/kzeqwriteracclaimasf.h"

#include <cstdio>
#include <vector>

#include "base/kzeqmatrix.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/asf/kzeqfileacclaimasf.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

KStreamOptions* KZeqAcclaimWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eTranslation, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eExportRequireSingleRootNode, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportFrameRate, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportFrameRange, KStreamOptionsMotion::eOff);
    return options;
}

bool KZeqAcclaimTreeFits(KZeqNode* root) {
    std::vector<std::pair<KZeqNode*, int>> pending{{root, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > KZeqAsfScene::kMaxDepth) return false;
        for (int i = 0; i < node->GetChildCount(); ++i) pending.emplace_back(node->GetChild(i), depth + 1);
    }
    return true;
}

KZeqWriterAcclaimAsf::KZeqWriterAcclaimAsf(KZeqSdkManager& manager) : KZeqMotionFileWriter(manager) {}

KZeqWriterAcclaimAsf::~KZeqWriterAcclaimAsf() = default;

KStreamOptions* KZeqWriterAcclaimAsf::GetWriteOptions() { return KZeqAcclaimWriteOptions(); }

bool KZeqWriterAcclaimAsf::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) {
    KZeqNode* root = FindRootNode(scene);
    if (!root) return Refuse(eFileNotCreated, "Scene must have a single root node.");
    KStreamOptionsMotion* motion = &options;
    KString message = "Spaces are not allowed in ASF node names:";
    if (!CheckSpaceInNodeNameRecursive(root, message)) {
        motion->MessageCallback(1, "Error", message.Buffer(), "OK", nullptr, nullptr, 0);
        return Refuse(eUnidentifiedError, message.Buffer());
    }
    if (root->FindChild("root", true)) {
        const char* const onlyRoot = "Model name \"root\" is only allowed for the ASF root node.";
        motion->MessageCallback(1, "Error", onlyRoot, "Ok", nullptr, nullptr, 0);
        return Refuse(eUnidentifiedError, onlyRoot);
    }
    if (!KZeqAcclaimTreeFits(root)) return Refuse(eUnidentifiedError, "Skeleton hierarchy too deep");
    const bool withTranslation = motion->GetOption(KStreamOptionsMotion::eTranslation) == KStreamOptionsMotion::eOn;
    KZeqVector4 scaling(1.0, 1.0, 1.0, 1.0);
    if (motion->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == KStreamOptionsMotion::eOn &&
        root->GetParent())
        scaling = root->GetParent()->GetGlobalFromDefaultTake().GetS();

    KZeqAsfScene* asf = new KZeqAsfScene;
    // A joint with a full transform is built as the first frame places it.
    asf->ZEQToASF(root, withTranslation, scaling, motion->GetStart());
    motion->ProgressCallback(nullptr, "Writing ASF node hierarchy", 0.0f);
    const bool written = mFile->Write(asf);
    // The bones' curve nodes belong to this scene: the AMC writer binds them again.
    asf->ClearCurveNodes();
    if (!written) {
        asf->Destroy();
        return WriteFailed();
    }
    motion->SetASFScene(asf, true);
    return true;
}

}  // namespace zeqsdk_400
