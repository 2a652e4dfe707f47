#include "formats/motion/brd/kzeqreaderascension.h"

#include <algorithm>

#include "base/kgemath.h"
#include "fileio/kpath.h"
#include "formats/motion/brd/kzeqfileascension.h"
#include "formats/motion/kzeqmotionkeys.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// A sample as read, with its sensor and its place in the file.
struct Line {
    int mSensor;
    KFrameEntry mEntry;
};

// The rotation of a quaternion (x, y, z, w) as Euler XYZ degrees, by the
// general extraction: the X-first one takes a turn within a tenth of a degree
// of a quarter turn about Y for the quarter turn itself.
KZeqVector4 EulerOf(const KZeqQuaternion& q) {
    KgeRMatrix m = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    const double components[4] = {q[0], q[1], q[2], q[3]};
    KmQtoR(m, components);
    double angles[3];
    KmRtoVord(angles, m, 0);
    return KZeqVector4(angles[0], angles[1], angles[2], 0.0);
}

}  // namespace

bool KNodeEntry::FindFrameEntry(int frame, KZeqVector4& position, KZeqQuaternion& rotation, int& cursor) const {
    for (std::size_t i = static_cast<std::size_t>(std::max(cursor, 0)); i < mFrames.size(); ++i) {
        if (mFrames[i].mFrame == frame) {
            position = mFrames[i].mPosition;
            rotation = mFrames[i].mRotation;
            cursor = static_cast<int>(i) + 1;
            return true;
        }
        if (mFrames[i].mFrame > frame) {
            cursor = static_cast<int>(i);
            return false;
        }
    }
    return false;
}

KZeqReaderAscension::KZeqReaderAscension(KZeqSdkManager& manager) : KZeqMotionFileReader(manager) {}

KZeqReaderAscension::~KZeqReaderAscension() = default;

void KZeqReaderAscension::ResetFileInfo() {
    mNodes.clear();
    mLoaded = false;
    mStart = KTime();
    mFrameCount = 0;
    mFrameRate = 0.0;
    mSmallestFrame = mLargestFrame = 0;
    mSmallestTime = mLargestTime = KTime();
}

bool KZeqReaderAscension::LoadFileInfo() {
    if (mLoaded) return true;
    ResetFileInfo();
    if (!mFile) return false;
    // All lines first, then one stable sort by sensor and frame: lines may come
    // in any order, and of two lines for one sensor and frame the later wins.
    std::vector<Line> lines;
    Line line;
    for (bool first = true; mFile->ReadLine(line.mEntry.mFrame, line.mSensor, line.mEntry.mPosition, line.mEntry.mRotation,
                                            line.mEntry.mTime, first);
         first = false) {
        if (lines.empty() || line.mEntry.mFrame < mSmallestFrame)
            mSmallestFrame = line.mEntry.mFrame, mSmallestTime = line.mEntry.mTime;
        if (lines.empty() || line.mEntry.mFrame > mLargestFrame)
            mLargestFrame = line.mEntry.mFrame, mLargestTime = line.mEntry.mTime;
        lines.push_back(line);
    }
    const long long span = static_cast<long long>(mLargestFrame) - mSmallestFrame + 1;
    if (!mFile->IsEndOfFile() || span > kMaxFrameSpan) {
        ResetFileInfo();
        return false;
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.mSensor != b.mSensor ? a.mSensor < b.mSensor : a.mEntry.mFrame < b.mEntry.mFrame;
    });
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i + 1 < lines.size() && lines[i + 1].mSensor == lines[i].mSensor && lines[i + 1].mEntry.mFrame == lines[i].mEntry.mFrame)
            continue;  // a later line of the same sensor and frame follows
        if (mNodes.empty() || mNodes.back().GetSensor() != lines[i].mSensor) mNodes.emplace_back(lines[i].mSensor);
        mNodes.back().AppendFrameEntry(lines[i].mEntry);
    }
    // Every frame of the span becomes a key of every sensor: a file must hold
    // at least one sample in 16 of them once that passes the span limit.
    const long long samples = span * static_cast<long long>(mNodes.size());
    if (samples > kMaxFrameSpan && samples / 16 > static_cast<long long>(lines.size())) {
        ResetFileInfo();
        return false;
    }
    mLoaded = true;
    mFrameCount = static_cast<int>(span);
    // The rate from the time stamps; a span of no time, or running backwards, takes the global rate.
    const double seconds = (mLargestTime - mSmallestTime).GetSecondDouble();
    mFrameRate = seconds > 0.0 && mFrameCount > 1 ? (mFrameCount - 1) / seconds : KTime::GetFrameRate(KTime::eModeDefault);
    mStart.SetSecondDouble(mSmallestFrame / mFrameRate);
    return true;
}

KStreamOptions* KZeqReaderAscension::GetReadOptions(bool) {
    if (!CheckOpen()) return nullptr;
    if (!LoadFileInfo()) {
        mError.SetLastErrorID(eFileCorrupted);
        return nullptr;
    }
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetStart(mStart);
    options->SetFrameCount(mFrameCount);
    options->SetTimeMode(KTime::eModeDefault, mFrameRate);
    options->SetOption(KStreamOptionsMotion::eImportAsOpticalSegments, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOn);
    return options;
}

bool KZeqReaderAscension::CreateNodeArray(KArrayTemplate<KZeqNode*>& nodes) {
    for (const KNodeEntry& entry : mNodes) {
        KZeqNode* node = motionkeys::CreateMarkerNode(mManager, (KString("Marker") + entry.GetSensor()).Buffer());
        if (!node) return false;
        nodes.Add(node);
    }
    return true;
}

bool KZeqReaderAscension::CreateAnimation(KStreamOptionsMotion* options, KArrayTemplate<KZeqNode*>& nodes,
                                          const KString& take) {
    const KTime start = options->GetStart(), period = options->GetFramePeriod();
    const int frames = options->GetFrameCount();
    const bool carry = options->GetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition) == 1;
    const int count = nodes.GetCount();
    for (int n = 0; n < count; ++n) {
        options->ProgressCallback(nullptr, "Loading BRD animation frames in nodes", static_cast<float>(n * 100.0 / count));
        KZeqNode* node = nodes[n];
        node->CreateTakeNode(take.Buffer());
        node->SetCurrentTakeNode(take.Buffer());
        KZeqTakeNode* takeNode = node->GetCurrentTakeNode();
        if (!takeNode) return false;
        KFCurve* curves[7] = {takeNode->GetTranslationX(),   takeNode->GetTranslationY(),   takeNode->GetTranslationZ(),
                              takeNode->GetEulerRotationX(), takeNode->GetEulerRotationY(), takeNode->GetEulerRotationZ(),
                              takeNode->GetOcclusion()};
        if (!motionkeys::BeginKeys(curves, 7, frames)) return false;
        const KNodeEntry& entry = mNodes[static_cast<std::size_t>(n)];
        KZeqVector4 position, rotation;
        int cursor = 0;
        for (int k = 0; k < frames; ++k) {
            const KTime time = start + period * k;
            KZeqVector4 found;
            KZeqQuaternion quaternion;
            float occlusion = 1.0f;
            if (entry.FindFrameEntry(mSmallestFrame + k, found, quaternion, cursor)) {
                position = found;
                rotation = EulerOf(quaternion);
                occlusion = 0.0f;
            } else if (!carry) {
                position = rotation = KZeqVector4();
            }
            for (int c = 0; c < 3; ++c) {
                motionkeys::SetKey(curves[c], k, time, motionkeys::ToFloat(position.GetAt(c)));
                motionkeys::SetKey(curves[3 + c], k, time, motionkeys::ToFloat(rotation.GetAt(c)));
            }
            motionkeys::SetKey(curves[6], k, time, occlusion, 2);
        }
        motionkeys::EndKeys(curves, 7, frames);
        motionkeys::FilterRotation(curves + 3);
        motionkeys::ReduceConstantKeys(curves, 3);
        motionkeys::ReduceConstantKeys(curves + 3, 3);
        motionkeys::ReduceConstantKeys(curves + 6, 1);
    }
    return true;
}

bool KZeqReaderAscension::InsertNodeArrayInScene(KStreamOptionsMotion* options, KZeqScene& scene,
                                                 KArrayTemplate<KZeqNode*>& nodes) {
    const bool optical = options->GetOption(KStreamOptionsMotion::eImportAsOpticalSegments) == 1;
    KZeqNode* reference = motionkeys::CreateReferenceNode(mManager, "BRD", optical);
    if (!reference) return false;
    for (int i = 0; i < nodes.GetCount(); ++i) reference->AddChild(nodes[i]);
    if (scene.GetRootNode() && scene.GetRootNode()->AddChild(reference)) return true;
    mManager.DestroyKZeqNode(reference, false);
    return false;
}

bool KZeqReaderAscension::Read(KZeqScene& scene, KStreamOptions* streamOptions) {
    if (!CheckOpen()) return false;
    if (!LoadFileInfo()) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    KStreamOptionsMotion* options = CheckRead(streamOptions);
    if (!options) return false;
    // No more keys than the file has frames.
    if (options->GetFrameCount() > mFrameCount) options->SetFrameCount(mFrameCount);
    const KString take = ExtractFileName(mFileName.Buffer(), false);
    KArrayTemplate<KZeqNode*> nodes;
    if (!CreateNodeArray(nodes) || !CreateAnimation(options, nodes, take) || !InsertNodeArrayInScene(options, scene, nodes)) {
        for (int i = 0; i < nodes.GetCount(); ++i) mManager.DestroyKZeqNode(nodes[i], true);
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    const KTime start = options->GetStart();
    const int frames = options->GetFrameCount();
    motionkeys::SetTake(scene, take, start, frames > 0 ? start + options->GetFramePeriod() * (frames - 1) : start);
    if (options->GetTimeMode() != KTime::eModeDefault) scene.GetGlobalTimeSettings()->SetTimeMode(options->GetTimeMode());
    return true;
}

}  // namespace zeqsdk_400
