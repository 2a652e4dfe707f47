#include "formats/motion/brd/kzeqwriterascension.h"

#include <vector>

#include "base/kzeqmatrix.h"
#include "fcurve/kfcurve.h"
#include "formats/motion/brd/kzeqfileascension.h"
#include "formats/motion/common/kzeqjointshear.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

KZeqWriterAscension::KZeqWriterAscension(KZeqSdkManager& manager) : KZeqMotionFileWriter(manager) {}

KZeqWriterAscension::~KZeqWriterAscension() = default;

KStreamOptions* KZeqWriterAscension::GetWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eExportGapsAsValidData, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
    return options;
}

void KZeqWriterAscension::FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node) {
    std::vector<KZeqNode*> selected;
    CollectSelectedNodes(node, selected);
    for (KZeqNode* each : selected) nodes.Add(each);
}

bool KZeqWriterAscension::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& motion) {
    KStreamOptionsMotion* options = &motion;
    const int frames = options->GetFrameCount();
    const KTime start = options->GetStart(), period = options->GetFramePeriod();
    const bool skipOccluded = options->GetOption(KStreamOptionsMotion::eExportGapsAsValidData) == 0;
    KZeqNode* root = options->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == 1 ? nullptr : FindRootNode(scene);
    if (!root) root = scene.GetRootNode();
    KArrayTemplate<KZeqNode*> nodes;
    FillNodeArray(nodes, root);
    // Full transforms folded in: each node is written from its global state.
    const KZeqMotionJointStates states(*root);
    KZeqJointNotes notes(options);
    const KZeqJointShear shear(*root, KZeqJointShear::eROOT_ORIGIN, true);
    for (int i = 0; i < frames; ++i) {
        const KTime time = start + period * i;
        if (i % 64 == 0) options->ProgressCallback(nullptr, "Writing BRD animation frames", static_cast<float>(i * 100.0 / frames));
        states.SetFromRoot(time);
        if (!WriteFrame(nodes, time, i, skipOccluded)) return WriteFailed();
        shear.Check(time, notes, &states.GetLocals());
    }
    AddMessageLines(notes);
    return mFile->Flush() || WriteFailed();
}

bool KZeqWriterAscension::WriteFrame(KArrayTemplate<KZeqNode*>& nodes, KTime time, int frame, bool skipOccluded) {
    bool ok = true;
    for (int j = 0; j < nodes.GetCount(); ++j) ok = WriteNode(nodes[j], time, frame, j, skipOccluded) && ok;
    return ok;
}

bool KZeqWriterAscension::WriteNode(KZeqNode* node, KTime time, int frame, int sensor, bool skipOccluded) {
    if (skipOccluded) {
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        KFCurve* occlusion = take ? take->GetOcclusion() : nullptr;
        if (occlusion && occlusion->Evaluate(time) >= 0.5f) return true;
    }
    node->ComputeGlobalState(1, false);
    const KZeqXMatrix& global = node->GetGlobalState();
    return mFile->PrintLine(frame, sensor, global.GetT(), global.GetQ(), time);
}

}  // namespace zeqsdk_400
