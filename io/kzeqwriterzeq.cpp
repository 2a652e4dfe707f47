#include "io/kzeqwriterzeq.h"

#include <vector>

#include "io/kzeqexporter.h"
#include "io/kzeqwriterzeq_steps.h"
#include "object/kprogress.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

KZeqWriterZeq::KZeqWriterZeq(KZeqSdkManager& manager, KZeqExporter& exporter)
    : KZeqWriterZeqBase(manager, exporter, kZeq58Layout) {}

void KZeqWriterZeq::WriteNode(KZeqNode* root) {
    if (!root) return;
    // Parent before children, on a stack of its own: trees may be deep.
    std::vector<KZeqNode*> pending;
    for (int i = root->GetChildCount(); i-- > 0;) pending.push_back(root->GetChild(i));
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        const float percent =
            mProgressTotal > 0 ? static_cast<float>(mProgressCounter) * 100.0f / static_cast<float>(mProgressTotal) : 0.0f;
        GetExporter().ProgressUpdate(nullptr, "Storing models", nullptr, percent);
        ++mProgressCounter;
        if (kZeq58Layout.mNodeRecord) kZeq58Layout.mNodeRecord(*this, *node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
}

bool ZeqWriteModels(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    if (kZeq58Layout.mFindAnimatedChannels) kZeq58Layout.mFindAnimatedChannels(writer, scene);
    writer.GetExporter().ProgressUpdate(nullptr, "Storing models", nullptr, 0.0f);
    KZeqNode* root = scene.GetRootNode();
    // The percentage runs over every node below the root, not just its children.
    writer.mProgressCounter = 0;
    writer.mProgressTotal = 0;
    for (std::vector<KZeqNode*> pending{root}; root && !pending.empty();) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        writer.mProgressTotal += node->GetChildCount();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
    }
    static_cast<KZeqWriterZeq&>(writer).WriteNode(root);
    KGetGlobalProgress()->UpdateSection();
    return true;
}

}  // namespace zeqsdk_400
