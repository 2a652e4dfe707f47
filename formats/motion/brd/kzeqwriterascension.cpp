#include "formats/motion/brd/kzeqwriterascension.h"

#include <vector>

#include "base/kzeqmatrix.h"
#include "fcurve/kfcurve.h"
#include "formats/motion/brd/kzeqfileascension.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

KZeqWriterAscension::KZeqWriterAscension(KZeqSdkManager& manager) : KZeqWriter(manager) {}

KZeqWriterAscension::~KZeqWriterAscension() = default;

bool KZeqWriterAscension::FileCreate(const char* fileName) {
    mFile.reset(new KZeqFileAscension);
    if (!fileName || mFile->Open(fileName, "w")) {
        mFile.reset();
        mError.SetLastError(eFileNotOpened,
                            (KString("Cannot open file \"") + (fileName ? fileName : "") + "\" for writing.").Buffer());
        return false;
    }
    return true;
}

bool KZeqWriterAscension::FileClose() {
    if (!mFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    const bool closed = mFile->Close();
    mFile.reset();
    return closed || OutOfDiskSpace();
}

bool KZeqWriterAscension::OutOfDiskSpace() {
    mError.SetLastErrorID(eOutOfDiskSpace);
    if (!mMessage.IsEmpty()) mMessage += "\n";
    mMessage += mError.GetLastErrorString();
    return false;
}

KStreamOptions* KZeqWriterAscension::GetWriteOptions() {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eExportGapsAsValidData, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
    return options;
}

void KZeqWriterAscension::FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node) {
    std::vector<KZeqNode*> pending{node};
    while (!pending.empty()) {
        KZeqNode* current = pending.back();
        pending.pop_back();
        if (!current) continue;
        if (current->GetSelected(false) && !current->GetOpticalReference()) nodes.Add(current);
        for (int i = current->GetChildCount(); i-- > 0;) pending.push_back(current->GetChild(i));
    }
}

bool KZeqWriterAscension::Write(KZeqScene& scene, KStreamOptions* streamOptions) {
    if (!mFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    if (!streamOptions || !streamOptions->Is(KStreamOptionsMotion::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    KStreamOptionsMotion* options = static_cast<KStreamOptionsMotion*>(streamOptions);
    const int frames = options->GetFrameCount();
    const KTime start = options->GetStart(), period = options->GetFramePeriod();
    const bool skipOccluded = options->GetOption(KStreamOptionsMotion::eExportGapsAsValidData) == 0;
    KZeqNode* root = options->GetOption(KStreamOptionsMotion::eExportFromGlobalPosition) == 1 ? nullptr : FindRootNode(scene);
    if (!root) root = scene.GetRootNode();
    KArrayTemplate<KZeqNode*> nodes;
    FillNodeArray(nodes, root);
    for (int i = 0; i < frames; ++i) {
        const KTime time = start + period * i;
        if (i % 64 == 0) options->ProgressCallback(nullptr, "Writing BRD animation frames", static_cast<float>(i * 100.0 / frames));
        root->SetLocalStateFromCurrentTake(time, true);
        root->SetGlobalState(KZeqXMatrix());
        root->SetGlobalStateId(0, true);
        root->SetGlobalStateId(1, false);
        if (!WriteFrame(nodes, time, i, skipOccluded)) return OutOfDiskSpace();
    }
    return mFile->Flush() || OutOfDiskSpace();
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
