#include "formats/motion/asf/kzeqwriteracclaimamc.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "base/kzeqmatrix.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/asf/kzeqfileacclaimamc.h"
#include "formats/motion/asf/kzeqwriteracclaimasf.h"
#include "formats/motion/common/kzeqjointshear.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

KZeqWriterAcclaimAmc::KZeqWriterAcclaimAmc(KZeqSdkManager& manager) : KZeqMotionFileWriter(manager) {}

KZeqWriterAcclaimAmc::~KZeqWriterAcclaimAmc() = default;

KStreamOptions* KZeqWriterAcclaimAmc::GetWriteOptions() { return KZeqAcclaimWriteOptions(); }

bool KZeqWriterAcclaimAmc::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) {
    KZeqNode* root = FindRootNode(scene);
    if (!root) return Refuse(eFileNotCreated, "Scene must have a single root node.");
    KStreamOptionsMotion* motion = &options;
    KObject* object = motion->GetASFScene();
    auto* asf = object && object->Is(KZeqAsfScene::ClassId) ? static_cast<KZeqAsfScene*>(object) : nullptr;
    // The motion goes over the bones an ASF export or import left in these options.
    if (!asf || !asf->GetRoot())
        return Refuse(eUnidentifiedError, "No ASF skeleton in the options: an AMC file is written after its ASF file.");
    // Curve nodes bound by an earlier write may belong to a scene gone since.
    asf->ClearCurveNodes();
    asf->MergeZEQToASF(root);

    const int count = motion->GetFrameCount();
    const KTime period = motion->GetFramePeriod();
    const double rate = motion->GetFrameRate();
    double firstFrame = std::floor(motion->GetStart().GetSecondDouble() * rate + 0.5);
    if (!(firstFrame > INT_MIN && firstFrame < INT_MAX - double(count))) firstFrame = 0.0;
    const int first = static_cast<int>(firstFrame);
    bool ok = mFile->WriteHeader(asf, motion->GetOption(KStreamOptionsMotion::eExportFrameRate) != KStreamOptionsMotion::eOff,
                                 rate, motion->GetOption(KStreamOptionsMotion::eExportFrameRange) != KStreamOptionsMotion::eOff,
                                 first, first + count - 1);
    const bool global = motion->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == KStreamOptionsMotion::eOn;
    KTime time = motion->GetStart();
    KZeqJointNotes notes(motion);
    // Each full transform evaluated once a frame, for the bones, the notes and the shear check.
    KZeqMotionJointLocals locals;
    const KZeqJointShear shear(*root, global ? KZeqJointShear::eROOT_GLOBAL : KZeqJointShear::eROOT_LOCAL);
    for (int i = 1; i <= count; ++i) {
        motion->ProgressCallback(nullptr, "Writing AMC animation frames", static_cast<float>(i * 100.0 / count));
        KgeAMatrix parent;
        const KgeAMatrix* matrix = nullptr;
        if (global && root->GetParent()) {
            const KZeqXMatrix m = KZeqMotionJoint::Global(*root->GetParent(), time, &locals);
            const double* values = m;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) parent[r][c] = values[r * 4 + c];
            matrix = &parent;
        }
        ok = mFile->WriteFrame(asf, time, i, matrix, &notes, shear.IsPossible(), &locals) && ok;
        shear.Check(time, notes, &locals);
        time = time + period;
    }
    ok = mFile->Flush() && ok;
    asf->ClearCurveNodes();
    AddMessageLines(notes);
    return ok || WriteFailed();
}

}  // namespace zeqsdk_400
