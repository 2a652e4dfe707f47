#include "formats/motion/vpm/kzeqwriterpuppeteer.h"

#include <cstdint>
#include <new>
#include <vector>

#include "base/kzeqmatrix.h"
#include "formats/motion/common/kzeqjointshear.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "formats/motion/vpm/kzeqfilepuppeteer.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

namespace {

constexpr int kMessageChannel = 1;

// The sample buffer: frames x nodes records, refused when the product does
// not fit or the memory is not there.
std::unique_ptr<KVPMFrame[]> AllocateFrames(int frames, int nodes) {
    const std::uint64_t count = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(nodes);
    if (count > (std::uint64_t(1) << 40) / sizeof(KVPMFrame)) return nullptr;
    return std::unique_ptr<KVPMFrame[]>(new (std::nothrow) KVPMFrame[count > 0 ? count : 1]);
}

}  // namespace

KZeqWriterPuppeteer::KZeqWriterPuppeteer(KZeqSdkManager& manager) : KZeqMotionFileWriter(manager) {}

KZeqWriterPuppeteer::~KZeqWriterPuppeteer() = default;

KStreamOptions* KZeqWriterPuppeteer::GetWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
    return options;
}

void KZeqWriterPuppeteer::FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node) {
    std::vector<KZeqNode*> selected;
    CollectSelectedNodes(node, selected);
    for (KZeqNode* each : selected) nodes.Add(each);
}

void KZeqWriterPuppeteer::FillAnimationFrames(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* root, KVPMFrame* row, KTime time) {
    // Full transforms folded in: each node is sampled from its global state.
    if (mStates && &mStates->GetRoot() == root)
        mStates->SetFromRoot(time);
    else
        KZeqMotionJointStates(*root).SetFromRoot(time);
    for (int k = 0; k < nodes.GetCount(); ++k) {
        nodes[k]->ComputeGlobalState(1, false);
        const KZeqXMatrix& global = nodes[k]->GetGlobalState();
        row[k].mTranslation = global.GetT();
        row[k].mRotation = KZeqMotionJoint::Angles(global, 0);
    }
}

bool KZeqWriterPuppeteer::WriteNode(KZeqNode*, const KString& name, int frames, KTime period, const KVPMFrame* first,
                                    int stride) {
    bool ok = mFile->PrintHeader(name, frames, period.GetSecondDouble()) && mFile->PrintAnimationHeader();
    const KZeqVector4 scaling(1.0, 1.0, 1.0, 1.0);
    for (int i = 0; i < frames && ok; ++i) {
        const KVPMFrame& frame = first[static_cast<std::size_t>(i) * static_cast<std::size_t>(stride)];
        ok = mFile->PrintAnimationFrame(frame.mTranslation, frame.mRotation, scaling);
    }
    return ok;
}

bool KZeqWriterPuppeteer::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& motion) {
    KStreamOptionsMotion* options = &motion;
    const int frames = options->GetFrameCount();
    const KTime start = options->GetStart(), period = options->GetFramePeriod();
    KZeqNode* root = options->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == 1 ? nullptr : FindRootNode(scene);
    if (!root) root = scene.GetRootNode();
    KArrayTemplate<KZeqNode*> nodes;
    FillNodeArray(nodes, root);
    const int count = nodes.GetCount();
    std::unique_ptr<KVPMFrame[]> buffer = AllocateFrames(frames, count);
    if (!buffer) {
        const char* const noMemory = "Not enough memory to allocate animation buffer.";
        options->MessageCallback(kMessageChannel, "Error", noMemory, "OK", nullptr, nullptr, 0);
        return Refuse(eUnidentifiedError, noMemory);
    }
    mStates = std::make_unique<KZeqMotionJointStates>(*root);
    KZeqJointNotes notes(options);
    const KZeqJointShear shear(*root, KZeqJointShear::eROOT_ORIGIN, true);
    for (int i = 0; i < frames; ++i) {
        options->ProgressCallback(nullptr, "Computing VPM animation frames", static_cast<float>(i * 50.0 / frames));
        FillAnimationFrames(nodes, root, buffer.get() + static_cast<std::size_t>(i) * static_cast<std::size_t>(count),
                            start + period * i);
        shear.Check(start + period * i, notes, &mStates->GetLocals());
    }
    mStates.reset();
    AddMessageLines(notes);
    for (int j = 0; j < count; ++j) {
        options->ProgressCallback(nullptr, "Writing VPM nodes", static_cast<float>(50.0 + j * 50.0 / count));
        const KString full = nodes[j]->GetName();
        const int colon = full.ReverseFind(':');
        const KString name = colon >= 0 ? full.Mid(static_cast<unsigned int>(colon) + 1) : full;
        if (!WriteNode(nodes[j], name, frames, period, buffer.get() + j, count)) return WriteFailed();
    }
    return mFile->Flush() || WriteFailed();
}

}  // namespace zeqsdk_400
