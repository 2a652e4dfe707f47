#include "formats/motion/marker/kzeqwritermotionbase.h"

#include <vector>

#include "base/karray.h"
#include "base/kzeqmatrix.h"
#include "fcurve/kfcurve.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "formats/motion/marker/izeqfilemotionbase.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// The root's state from the default take, with the root itself as the origin.
void SetRootState(KZeqNode* root) {
    root->SetLocalStateFromDefaultTake(true);
    root->SetGlobalState(KZeqXMatrix());
    root->SetGlobalStateId(0, true);
    root->SetGlobalStateId(1, false);
}

// A node to sample and its occlusion curve (null when it has none or gaps
// are written as data), with the curve's search hint.
struct Sampled {
    KZeqNode* mNode;
    KFCurve* mOcclusion;
    int mHint;
};

void UpdateTranslationArray(std::vector<Sampled>& nodes, KTime time, KZeqVector4* points) {
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Sampled& sampled = nodes[i];
        sampled.mNode->ComputeGlobalState(1, false);
        points[i] = sampled.mNode->GetGlobalState().GetT();
        const bool occluded = sampled.mOcclusion && sampled.mOcclusion->Evaluate(time, &sampled.mHint) > 0.5f;
        points[i].SetAt(3, occluded ? 1.0 : 0.0);
    }
}

// The name without its namespaces: what follows the last ':'.
KString ShortName(const char* name) {
    const KString full(name ? name : "");
    const int colon = full.ReverseFind(':');
    return colon >= 0 ? full.Mid(static_cast<unsigned int>(colon) + 1) : full;
}

}  // namespace

KZeqWriterMotionBase::KZeqWriterMotionBase(KZeqSdkManager& manager) : KZeqMotionWriterBase(manager) {}

KZeqWriterMotionBase::~KZeqWriterMotionBase() {
    int ignored = 0;
    CloseFile(ignored);
}

bool KZeqWriterMotionBase::OpenFile(std::FILE* stream) {
    mFile = CreateFileObject(stream);
    return mFile != nullptr;
}

const char* KZeqWriterMotionBase::RefuseMarkerCount(int) const { return nullptr; }

bool KZeqWriterMotionBase::CloseFile(int& systemError) {
    systemError = 0;
    if (!mFile) return true;
    const bool closed = mFile->Close();
    systemError = mFile->GetSystemError();
    mFile->Destroy(0);
    mFile = nullptr;
    return closed;
}

int KZeqWriterMotionBase::GetWriteError() const { return mFile ? mFile->GetSystemError() : 0; }

KStreamOptions* KZeqWriterMotionBase::GetWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    SetWriteOptions(options);
    return options;
}

bool KZeqWriterMotionBase::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) {

    KZeqNode* root = options.GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == 1 ? nullptr : FindRootNode(scene);
    if (!root) root = scene.GetRootNode();
    if (!root) return Refuse(eUnidentifiedError, "The scene has no root node.");
    SetRootState(root);

    std::vector<KZeqNode*> nodes;
    CollectSelectedNodes(root, nodes);
    const int nodeCount = static_cast<int>(nodes.size());
    if (const char* refusal = RefuseMarkerCount(nodeCount)) return Refuse(eUnidentifiedError, refusal);
    KArrayTemplate<KString*> names;
    for (KZeqNode* node : nodes) names.Add(new KString(ShortName(node->GetName())));
    struct NameRelease {
        KArrayTemplate<KString*>& mNames;
        ~NameRelease() {
            for (int i = 0; i < mNames.GetCount(); ++i) delete mNames[i];
        }
    } release{names};
    std::vector<KZeqVector4> points(nodes.size() + 1);
    const bool gapsAsValid = options.GetOption(KStreamOptionsMotion::eExportGapsAsValidData) == 1;
    std::vector<Sampled> sampled;
    for (KZeqNode* node : nodes) {
        KZeqTakeNode* take = gapsAsValid ? nullptr : node->GetCurrentTakeNode();
        sampled.push_back({node, take ? take->GetOcclusion() : nullptr, 0});
    }

    const KZeqMotionJointStates states(*root);
    const int frameCount = options.GetFrameCount();
    KTime time = options.GetStart();
    const KTime period = options.GetFramePeriod();
    const double scale = options.GetOption(KStreamOptionsMotion::eExportC3DRealFormat) == 1 ? -1.0 : 1.0;

    if (!mFile->PrintHeader(nodeCount, time, frameCount, options.GetFrameRate(), scale) ||
        !mFile->PrintAnimationHeader(names))
        return WriteFailed();
    for (int i = 1; i <= frameCount; ++i) {
        options.ProgressCallback(nullptr, "Writing animation frames", static_cast<float>(i * 100.0 / frameCount));
        // Full transforms folded in: each node is sampled from its global state.
        states.SetFromRoot(time);
        UpdateTranslationArray(sampled, time, points.data());
        if (!mFile->PrintAnimationFrame(points.data(), nodeCount, time, i)) return WriteFailed();
        time += period;
    }
    return mFile->PrintFooter() || WriteFailed();
}

}  // namespace zeqsdk_400
