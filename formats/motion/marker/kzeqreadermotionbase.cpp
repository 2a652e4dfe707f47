#include "formats/motion/marker/kzeqreadermotionbase.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/kname.h"
#include "content/kzeqmarker.h"
#include "content/kzeqopticalreference.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/kpath.h"
#include "formats/motion/kzeqmotionkeys.h"
#include "formats/motion/marker/izeqfilemotionbase.h"
#include "formats/motion/marker/kzeqmarkersamples.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// Messages of the motion readers go through the options' second callback.
constexpr int kMessageChannel = 1;

// Name strings the reader owns for the length of one Read.
struct NameList {
    KArrayTemplate<KString*> mNames;
    explicit NameList(int count) {
        for (int i = 0; i < count; ++i) mNames.Add(new KString);
    }
    ~NameList() {
        for (int i = 0; i < mNames.GetCount(); ++i) delete mNames[i];
    }
};

void SetKey(KFCurve* curve, int index, KTime time, float value, unsigned int interpolation) {
    motionkeys::SetKey(curve, index, time, value, interpolation);
}

}  // namespace

KZeqReaderMotionBase::KZeqReaderMotionBase(KZeqSdkManager& manager) : KZeqMotionReaderBase(manager) {}

KZeqReaderMotionBase::~KZeqReaderMotionBase() { CloseFile(); }

bool KZeqReaderMotionBase::OpenFile(const char* path) {
    mFile = CreateFileObject(path);
    return mFile != nullptr;
}

void KZeqReaderMotionBase::CloseFile() {
    if (mFile) mFile->Destroy(0);
    mFile = nullptr;
}

KStreamOptions* KZeqReaderMotionBase::GetReadOptions(bool) {
    if (!CheckOpen()) return nullptr;
    int markers = 0, frames = 0;
    KTime start;
    double rate = 0.0, scale = 0.0;
    if (!mFile->ReadHeader(markers, start, frames, rate, scale)) {
        mError.SetLastErrorID(eFileCorrupted);
        return nullptr;
    }
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetStart(start);
    options->SetFrameCount(frames);
    options->SetTimeMode(KTime::eModeDefault, rate);
    SetReadOptions(options);
    return options;
}

bool KZeqReaderMotionBase::ReadFrames(KStreamOptionsMotion& options, int markerCount, int frameCount, KTime period,
                                      double scale, KZeqMarkerSamples& samples, int& maxExtra) {
    const bool exactZero = options.GetOption(KStreamOptionsMotion::eImportExactZeroAsOccluded) == 1;
    const bool carry = options.GetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition) == 1;
    KArrayTemplate<KZeqVector4> frame(std::max(1, std::min(markerCount, 4096)));
    for (int i = 0; i < frameCount; ++i) {
        options.ProgressCallback(nullptr, "Reading animation frames", static_cast<float>(i * 50.0 / frameCount));
        frame.SetCount(0);
        KTime time;
        int frameNumber = 0;
        if (!mFile->ReadAnimationFrame(frame, markerCount, time, frameNumber, period, exactZero)) return false;
        maxExtra = std::max(maxExtra, frame.GetCount() - markerCount);
        samples.AddFrame(frame, scale, carry && i >= 1);
    }
    return mFile->ReadFooter();
}

bool KZeqReaderMotionBase::Read(KZeqScene& scene, KStreamOptions* streamOptions) {
    KStreamOptionsMotion* checked = CheckRead(streamOptions);
    if (!checked) return false;
    KStreamOptionsMotion& options = *checked;

    int markerCount = 0, headerFrames = 0;
    KTime headerStart;
    double rate = 0.0, scale = 0.0;
    if (!mFile->ReadHeader(markerCount, headerStart, headerFrames, rate, scale)) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    if (markerCount <= 0) return true;

    if (options.GetFrameCount() > headerFrames) options.SetFrameCount(headerFrames);
    const KTime start = options.GetStart();
    const KTime period = options.GetFramePeriod();
    const int frameCount = options.GetFrameCount();
    const KTime stop = frameCount > 0 ? start + period * (frameCount - 1) : start;

    NameList names(markerCount);
    if (!mFile->ReadAnimationHeader(names.mNames, options.GetOption(KStreamOptionsMotion::eImportActorPrefix) == 1)) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }

    if (options.GetOption(KStreamOptionsMotion::eRenameDuplicateNames) == 1) {
        KUniqueNameObjectList unique(8, 64);
        KString report;
        for (int i = 0; i < markerCount; ++i) {
            KString& name = *names.mNames[i];
            const char* made = unique.AddObject(name.Buffer(), reinterpret_cast<const void*>(static_cast<std::size_t>(i) + 1));
            if (made && name != made) {
                report += name + "  -->  " + made + "\n";
                name = made;
            }
        }
        if (!report.IsEmpty())
            options.MessageCallback(kMessageChannel, "Warning",
                                    (KString("Some objects have been renamed due to naming conflicts:\n") + report + "\n\n").Buffer(),
                                    "Ok", nullptr, nullptr, 0);
    }

    KZeqMarkerSamples samples;
    int maxExtra = 0;
    if (!ReadFrames(options, markerCount, frameCount, period, scale, samples, maxExtra)) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }

    KArrayTemplate<KZeqNode*> nodes;
    KZeqNode* reference = CreateNodes(names.mNames, maxExtra, nodes) ? InsertNodeArrayInScene(options, nodes) : nullptr;
    const KString takeName = ExtractFileName(mFileName.Buffer(), false);
    if (!reference || !CreateAnimation(options, nodes, takeName, samples, start, period) ||
        !scene.GetRootNode() || !scene.GetRootNode()->AddChild(reference)) {
        if (reference) mManager.DestroyKZeqNode(reference, true);
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }

    KZeqTakeInfo info;
    info.mName = takeName;
    info.mLocalTimeSpan.Set(start, stop);
    info.mReferenceTimeSpan.Set(start, stop);
    scene.SetTakeInfo(info);
    scene.SetCurrentTake(takeName.Buffer());
    if (options.GetTimeMode() != KTime::eModeDefault) scene.GetGlobalTimeSettings()->SetTimeMode(options.GetTimeMode());
    return true;
}

bool KZeqReaderMotionBase::CreateNodes(const KArrayTemplate<KString*>& names, int extra, KArrayTemplate<KZeqNode*>& nodes) {
    const int count = names.GetCount();
    for (int i = 0; i < count + extra; ++i) {
        const KString name = i < count ? *names[i] : KString("*Unnamed_") + (i + 1);
        KZeqNode* node = mManager.CreateKZeqNode(name.Buffer());
        KZeqMarker* marker = node ? mManager.CreateKZeqMarker() : nullptr;
        if (!marker) {
            if (node) mManager.DestroyKZeqNode(node, true);
            for (int k = 0; k < nodes.GetCount(); ++k) mManager.DestroyKZeqNode(nodes[k], true);
            nodes.Clear();
            return false;
        }
        marker->SetType(KZeqMarker::eOPTICAL_MARKER);
        node->SetNodeAttribute(marker);
        nodes.Add(node);
    }
    return true;
}

KZeqNode* KZeqReaderMotionBase::InsertNodeArrayInScene(KStreamOptionsMotion& options, KArrayTemplate<KZeqNode*>& nodes) {
    const bool optical = options.GetOption(KStreamOptionsMotion::eImportAsOpticalSegments) == 1;
    KZeqNode* reference = mManager.CreateKZeqNode((mPrefix + (optical ? ":optical" : ":reference")).Buffer());
    KZeqOpticalReference* attribute = reference ? mManager.CreateKZeqOpticalReference() : nullptr;
    if (attribute) reference->SetNodeAttribute(attribute);
    for (int i = 0; reference && i < nodes.GetCount(); ++i) reference->AddChild(nodes[i]);

    KString message = KString("Duplicate names found in ") + ExtractFileName(mFileName.Buffer(), true) + ":";
    if (attribute && CheckDuplicateNodeNames(reference, message)) return reference;
    if (attribute) options.MessageCallback(kMessageChannel, "Error", message.Buffer(), "Ok", nullptr, nullptr, 0);
    // Nothing of a refused file stays with the manager either.
    for (int i = 0; i < nodes.GetCount(); ++i) mManager.DestroyKZeqNode(nodes[i], true);
    if (reference) mManager.DestroyKZeqNode(reference, true);
    nodes.Clear();
    return nullptr;
}

bool KZeqReaderMotionBase::CreateAnimation(KStreamOptionsMotion& options, KArrayTemplate<KZeqNode*>& nodes,
                                           const KString& takeName, const KZeqMarkerSamples& samples, KTime start,
                                           KTime period) {
    const int frameCount = samples.GetFrameCount();
    const int nodeCount = nodes.GetCount();
    for (int n = 0; n < nodeCount; ++n) {
        options.ProgressCallback(nullptr, "Loading animation frames in nodes", static_cast<float>(50.0 + n * 50.0 / nodeCount));
        KZeqNode* node = nodes[n];
        node->CreateTakeNode(takeName.Buffer());
        node->SetCurrentTakeNode(takeName.Buffer());
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        KFCurve* curves[4] = {take ? take->GetTranslationX() : nullptr, take ? take->GetTranslationY() : nullptr,
                              take ? take->GetTranslationZ() : nullptr, take ? take->GetOcclusion() : nullptr};
        for (KFCurve* curve : curves)
            if (!curve || !curve->InitBuffers(frameCount)) return false;
        for (KFCurve* curve : curves) curve->KeyModifyBegin(frameCount);
        for (int f = 0; f < frameCount; ++f) {
            const KTime time = start + period * f;
            if (n < samples.GetPointCount(f)) {
                const KZeqMarkerSamples::Point& p = samples.GetPoint(f, n);
                SetKey(curves[0], f, time, p.mX, 8);
                SetKey(curves[1], f, time, p.mY, 8);
                SetKey(curves[2], f, time, p.mZ, 8);
                SetKey(curves[3], f, time, samples.IsOccluded(f, n) ? 1.0f : 0.0f, 2);
            } else {
                for (int c = 0; c < 3; ++c) SetKey(curves[c], f, time, 0.0f, 8);
                SetKey(curves[3], f, time, 1.0f, 2);
            }
        }
        for (KFCurve* curve : curves) curve->KeyModifyEnd(frameCount);
        if (KFCURVE_GetUseConstantKeyReducer()) {
            KFCurveFilterConstantKeyReducer reducer;
            reducer.Apply(curves, 3);
            reducer.Apply(&curves[3], 1);
        }
    }
    return true;
}

}  // namespace zeqsdk_400
