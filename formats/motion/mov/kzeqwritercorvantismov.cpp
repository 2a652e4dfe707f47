#include "formats/motion/mov/kzeqwritercorvantismov.h"

#include <vector>

#include "base/kzeqmatrix.h"
#include "formats/motion/common/kzeqjointshear.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "formats/motion/mov/kzeqfilecorvantismov.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

KZeqWriterCorvantisMov::KZeqWriterCorvantisMov(KZeqSdkManager& manager) : KZeqMotionFileWriter(manager) {}

KZeqWriterCorvantisMov::~KZeqWriterCorvantisMov() = default;

KStreamOptions* KZeqWriterCorvantisMov::GetWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    for (int g = KStreamOptionsMotion::eTranslation; g <= KStreamOptionsMotion::eScaling; ++g)
        options->SetOption(g, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
    return options;
}

void KZeqWriterCorvantisMov::FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node) {
    std::vector<KZeqNode*> selected;
    CollectSelectedNodes(node, selected);
    for (KZeqNode* each : selected) nodes.Add(each);
}

bool KZeqWriterCorvantisMov::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& motion) {
    KStreamOptionsMotion* options = &motion;
    const int frames = options->GetFrameCount();
    const KTime start = options->GetStart(), period = options->GetFramePeriod();
    const bool t = options->GetOption(KStreamOptionsMotion::eTranslation) == 1;
    const bool r = options->GetOption(KStreamOptionsMotion::eRotation) == 1;
    const bool s = options->GetOption(KStreamOptionsMotion::eScaling) == 1;
    if (!t && !r && !s) return Refuse(eFileNotCreated, "No animation to export.");
    KZeqNode* top = options->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == 1 ? nullptr : FindRootNode(scene);
    if (!top) top = scene.GetRootNode();
    KArrayTemplate<KZeqNode*> nodes;
    FillNodeArray(nodes, top);
    // Full transforms folded in: each node is written from its global state.
    const KZeqMotionJointStates states(*top);
    KZeqJointNotes notes(options);
    const KZeqJointShear shear(*top, KZeqJointShear::eROOT_ORIGIN, true);
    for (int k = 0; k < frames; ++k) {
        const KTime time = start + period * k;
        if (k % 64 == 0) options->ProgressCallback(nullptr, "Writing MOV animation frames", static_cast<float>(k * 100.0 / frames));
        states.SetFromRoot(time);
        if (!WriteFrame(nodes, time, t, r, s)) return WriteFailed();
        shear.Check(time, notes, &states.GetLocals());
    }
    AddMessageLines(notes);
    return mFile->Flush() || WriteFailed();
}

bool KZeqWriterCorvantisMov::WriteFrame(KArrayTemplate<KZeqNode*>& nodes, KTime time, bool t, bool r, bool s) {
    // Nine digits read back as the same time, and the reader estimates the rate from them.
    bool ok = mFile->Print(0, "%.9g\t", time.GetSecondDouble());
    for (int i = 0; i < nodes.GetCount(); ++i) ok = WriteNode(nodes[i], time, t, r, s) && ok;
    return mFile->Print(0, "\n") && ok;
}

bool KZeqWriterCorvantisMov::WriteNode(KZeqNode* node, KTime, bool t, bool r, bool s) {
    node->ComputeGlobalState(1, false);
    const KZeqXMatrix& global = node->GetGlobalState();
    bool ok = true;
    const KZeqVector4 parts[3] = {t ? global.GetT() : KZeqVector4(),
                                  r ? KZeqMotionJoint::Angles(global, 0) : KZeqVector4(),
                                  s ? global.GetS() : KZeqVector4()};
    const bool wanted[3] = {t, r, s};
    for (int g = 0; g < 3; ++g)
        if (wanted[g]) ok = mFile->Print(0, "%g\t%g\t%g\t", parts[g].GetAt(0), parts[g].GetAt(1), parts[g].GetAt(2)) && ok;
    return ok;
}

}  // namespace zeqsdk_400
