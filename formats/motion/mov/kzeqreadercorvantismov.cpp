#include "formats/motion/mov/kzeqreadercorvantismov.h"

#include <cmath>

#include "fileio/kpath.h"
#include "formats/motion/kzeqmotionkeys.h"
#include "formats/motion/mov/kzeqfilecorvantismov.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

constexpr int kRateRows = 10;

// The enabled groups among translation, rotation and scaling (options 0 to 2).
int EnabledGroups(const KStreamOptionsMotion& options, bool enabled[3]) {
    int count = 0;
    for (int g = 0; g < 3; ++g) count += enabled[g] = options.GetOption(g) == 1;
    return count;
}

}  // namespace

KZeqReaderCorvantisMov::KZeqReaderCorvantisMov(KZeqSdkManager& manager) : KZeqMotionFileReader(manager) {}

KZeqReaderCorvantisMov::~KZeqReaderCorvantisMov() = default;

KStreamOptions* KZeqReaderCorvantisMov::GetReadOptions(bool) {
    if (!CheckOpen()) return nullptr;
    int columns = 0, rows = 0;
    if (!mFile->GetColumnCount(columns) || !mFile->GetRowCount(rows)) {
        mError.SetLastErrorID(eFileCorrupted);
        return nullptr;
    }
    double times[kRateRows];
    int read = 0;
    while (read < rows && read < kRateRows && mFile->ReadRow(&times[read], 1, read == 0)) ++read;
    // The mean of the first interval and each later one, halving as it goes;
    // times not after the first, and pairs not after each other (which
    // would divide by zero), are skipped.
    double rate = 0.0;
    for (int i = 1; i < read; ++i) {
        if (times[i] <= times[0] || times[i] <= times[i - 1]) continue;
        rate = rate <= 0.0 ? 1.0 / (times[i] - times[0]) : (rate + 1.0 / (times[i] - times[i - 1])) * 0.5;
    }
    KTime start;
    if (read > 0) start.SetSecondDouble(times[0]);
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    options->SetStart(start);
    options->SetFrameCount(rows);
    if (rate > 0.0 && std::isfinite(rate))
        options->SetTimeMode(KTime::eModeDefault, rate);
    else
        options->SetTimeMode(KTime::GetGlobalTimeMode(), rate);
    for (int g = KStreamOptionsMotion::eTranslation; g <= KStreamOptionsMotion::eScaling; ++g)
        options->SetOption(g, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportAsOpticalSegments, KStreamOptionsMotion::eOff);
    return options;
}

bool KZeqReaderCorvantisMov::Read(KZeqScene& scene, KStreamOptions* streamOptions) {
    int columns = 0;
    if (!CheckOpen()) return false;
    if (!mFile->GetColumnCount(columns)) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    KStreamOptionsMotion* options = CheckRead(streamOptions);
    if (!options) return false;
    const KTime start = options->GetStart();
    const KTime period = options->GetFramePeriod();
    const int wanted = options->GetFrameCount();
    bool enabled[3];
    const int groups = EnabledGroups(*options, enabled);
    if (groups == 0) {
        mError.SetLastError(eUnidentifiedError, "No animation to import.");
        return false;
    }

    // Short rows are completed with zeros: a file must still hold at least half
    // the numbers its rows and first line imply (a number takes two bytes),
    // so that what is made stays in proportion to the file.
    std::vector<double> rows;
    int frames = 0;
    bool sparse = false;
    const std::size_t width = static_cast<std::size_t>(columns);
    for (; frames < wanted; ++frames) {
        options->ProgressCallback(nullptr, "Reading MOV animation frames", static_cast<float>(frames * 50.0 / wanted));
        if ((sparse = (static_cast<std::uintmax_t>(frames) + 1) * width > mFile->GetFileSize())) break;
        rows.resize((static_cast<std::size_t>(frames) + 1) * width);
        if (!mFile->ReadRow(rows.data() + static_cast<std::size_t>(frames) * width, columns, frames == 0)) break;
    }
    rows.resize(static_cast<std::size_t>(frames) * width);
    if (frames == 0 || sparse) {
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    const KTime stop = start + period * (frames - 1);
    const int nodeCount = (columns - 1) / (3 * groups);

    const KString take = ExtractFileName(mFileName.Buffer(), false);
    KArrayTemplate<KZeqNode*> nodes;
    const bool made = CreateNodeArray(nodes, nodeCount) &&
                      CreateAnimation(options, nodes, take, rows, columns, start, period, frames) &&
                      InsertNodeArrayInScene(options, scene, nodes);
    if (!made) {
        for (int i = 0; i < nodes.GetCount(); ++i) mManager.DestroyKZeqNode(nodes[i], true);
        mError.SetLastErrorID(eFileCorrupted);
        return false;
    }
    motionkeys::SetTake(scene, take, start, stop);
    if (options->GetTimeMode() != KTime::eModeDefault) scene.GetGlobalTimeSettings()->SetTimeMode(options->GetTimeMode());
    return true;
}

bool KZeqReaderCorvantisMov::CreateNodeArray(KArrayTemplate<KZeqNode*>& nodes, int count) {
    for (int i = 0; i < count; ++i) {
        KZeqNode* node = motionkeys::CreateMarkerNode(mManager, (KString("Marker") + i).Buffer());
        if (!node) return false;
        nodes.Add(node);
    }
    return true;
}

bool KZeqReaderCorvantisMov::CreateAnimation(KStreamOptionsMotion* options, KArrayTemplate<KZeqNode*>& nodes,
                                             const KString& take, const std::vector<double>& rows, int columns,
                                             KTime start, KTime period, int frames) {
    bool enabled[3];
    const int groups = EnabledGroups(*options, enabled);
    const int nodeCount = nodes.GetCount();
    for (int j = 0; j < nodeCount; ++j) {
        options->ProgressCallback(nullptr, "Loading MOV animation frames in nodes", static_cast<float>(50.0 + j * 50.0 / nodeCount));
        KZeqNode* node = nodes[j];
        node->CreateTakeNode(take.Buffer());
        node->SetCurrentTakeNode(take.Buffer());
        KZeqTakeNode* takeNode = node->GetCurrentTakeNode();
        if (!takeNode) return false;
        KFCurve* curves[3][3] = {
            {takeNode->GetTranslationX(), takeNode->GetTranslationY(), takeNode->GetTranslationZ()},
            {takeNode->GetEulerRotationX(), takeNode->GetEulerRotationY(), takeNode->GetEulerRotationZ()},
            {takeNode->GetScaleX(), takeNode->GetScaleY(), takeNode->GetScaleZ()}};
        for (int g = 0; g < 3; ++g)
            if (enabled[g] && !motionkeys::BeginKeys(curves[g], 3, frames)) return false;
        for (int k = 0; k < frames; ++k) {
            const KTime time = start + period * k;
            const double* value = rows.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(columns) + 1 +
                                  static_cast<std::size_t>(j) * 3 * static_cast<std::size_t>(groups);
            for (int g = 0; g < 3; ++g) {
                if (!enabled[g]) continue;
                for (int c = 0; c < 3; ++c) motionkeys::SetKey(curves[g][c], k, time, motionkeys::ToFloat(value[c]));
                value += 3;
            }
        }
        for (int g = 0; g < 3; ++g)
            if (enabled[g]) motionkeys::EndKeys(curves[g], 3, frames);
        if (enabled[0]) motionkeys::ReduceConstantKeys(curves[0], 3);
        if (enabled[1]) motionkeys::FilterRotation(curves[1]), motionkeys::ReduceConstantKeys(curves[1], 3);
        if (enabled[2]) motionkeys::ReduceConstantKeys(curves[2], 3);
    }
    return true;
}

bool KZeqReaderCorvantisMov::InsertNodeArrayInScene(KStreamOptionsMotion* options, KZeqScene& scene,
                                                    KArrayTemplate<KZeqNode*>& nodes) {
    const bool optical = options->GetOption(KStreamOptionsMotion::eImportAsOpticalSegments) == 1;
    KZeqNode* reference = motionkeys::CreateReferenceNode(mManager, "MOV", optical);
    if (!reference) return false;
    for (int i = 0; i < nodes.GetCount(); ++i) reference->AddChild(nodes[i]);
    if (scene.GetRootNode() && scene.GetRootNode()->AddChild(reference)) return true;
    mManager.DestroyKZeqNode(reference, false);
    return false;
}

}  // namespace zeqsdk_400
