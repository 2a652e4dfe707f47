#include "formats/motion/vpm/kzeqreaderpuppeteer.h"

#include <vector>

#include "fileio/kpath.h"
#include "formats/motion/kzeqmotionkeys.h"
#include "formats/motion/vpm/kzeqfilepuppeteer.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// Messages of the motion readers go through the options' second callback.
constexpr int kMessageChannel = 1;

}  // namespace

KZeqReaderPuppeteer::KZeqReaderPuppeteer(KZeqSdkManager& manager) : KZeqMotionFileReader(manager) {}

KZeqReaderPuppeteer::~KZeqReaderPuppeteer() = default;

KStreamOptions* KZeqReaderPuppeteer::GetReadOptions(bool) {
    if (!CheckOpen()) return nullptr;
    KString name;
    int frames = 0;
    double frameTime = 0.0;
    if (!mFile->ReadHeader(name, frames, frameTime, true)) {
        mError.SetLastErrorID(eFileCorrupted);
        return nullptr;
    }
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetStart(KTime());
    options->SetFrameCount(frames);
    options->SetTimeMode(KTime::eModeDefault, 1.0 / frameTime);
    options->SetOption(KStreamOptionsMotion::eImportAsOpticalSegments, KStreamOptionsMotion::eOff);
    return options;
}

bool KZeqReaderPuppeteer::ReadNode(KZeqNode* parent, const KString& take, KStreamOptionsMotion* options, bool first) {
    KString name;
    int segmentFrames = 0;
    double frameTime = 0.0;
    if (!mFile->ReadHeader(name, segmentFrames, frameTime, first) || !mFile->ReadAnimationHeader()) return false;
    const int rows = std::min(options->GetFrameCount(), segmentFrames);
    const KTime start = options->GetStart(), period = options->GetFramePeriod();

    // The rows first, grown as they are read (the header's count is only a
    // claim): a row that does not read rejects the segment before anything is made.
    std::vector<float> values;
    KZeqVector4 t, r, s;
    for (int i = 0; i < rows; ++i) {
        if (i % 64 == 0) options->ProgressCallback(nullptr, "Reading VPM nodes", static_cast<float>(i * 100.0 / rows));
        if (!mFile->ReadAnimationFrame(t, r, s)) return false;
        for (const KZeqVector4* v : {&t, &r, &s})
            for (int c = 0; c < 3; ++c) values.push_back(motionkeys::ToFloat(v->GetAt(c)));
    }

    KZeqNode* node = motionkeys::CreateMarkerNode(mManager, name.Buffer());
    if (!node) return false;
    node->CreateTakeNode(take.Buffer());
    node->SetCurrentTakeNode(take.Buffer());
    KZeqTakeNode* takeNode = node->GetCurrentTakeNode();
    KFCurve* curves[9] = {};
    if (takeNode) {
        KFCurve* found[9] = {takeNode->GetTranslationX(),   takeNode->GetTranslationY(),   takeNode->GetTranslationZ(),
                             takeNode->GetEulerRotationX(), takeNode->GetEulerRotationY(), takeNode->GetEulerRotationZ(),
                             takeNode->GetScaleX(),         takeNode->GetScaleY(),         takeNode->GetScaleZ()};
        std::copy(found, found + 9, curves);
    }
    if (!takeNode || !motionkeys::BeginKeys(curves, 9, rows)) {
        mManager.DestroyKZeqNode(node, true);
        return false;
    }
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < 9; ++c)
            motionkeys::SetKey(curves[c], i, start + period * i, values[static_cast<std::size_t>(i) * 9 + static_cast<std::size_t>(c)]);
    motionkeys::EndKeys(curves, 9, rows);
    motionkeys::FilterRotation(curves + 3);
    for (int group = 0; group < 3; ++group) motionkeys::ReduceConstantKeys(curves + 3 * group, 3);
    parent->AddChild(node);
    // Rows beyond the options' count are passed over so the next segment is found.
    for (int i = rows; i < segmentFrames && mFile->SkipRow(); ++i) {
    }
    return true;
}

bool KZeqReaderPuppeteer::Read(KZeqScene& scene, KStreamOptions* streamOptions) {
    KStreamOptionsMotion* options = CheckRead(streamOptions);
    if (!options) return false;
    const bool optical = options->GetOption(KStreamOptionsMotion::eImportAsOpticalSegments) == 1;
    KZeqNode* reference = motionkeys::CreateReferenceNode(mManager, "VPM", optical);
    const KString take = ExtractFileName(mFileName.Buffer(), false);
    if (!reference || !ReadNode(reference, take, options, true)) {
        if (reference) mManager.DestroyKZeqNode(reference, true);
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    while (ReadNode(reference, take, options, false)) {
    }
    KString message = KString("Duplicate names found in ") + ExtractFileName(mFileName.Buffer(), true) + ":";
    if (!CheckDuplicateNodeNames(reference, message) || !scene.GetRootNode() || !scene.GetRootNode()->AddChild(reference)) {
        options->MessageCallback(kMessageChannel, "Error", message.Buffer(), "Ok", nullptr, nullptr, 0);
        mManager.DestroyKZeqNode(reference, true);
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    const KTime start = options->GetStart();
    const int frames = options->GetFrameCount();
    motionkeys::SetTake(scene, take, start, frames > 0 ? start + options->GetFramePeriod() * (frames - 1) : start);
    return true;
}

}  // namespace zeqsdk_400
