// Reads curve-node trees from arbitrary bytes presented as a field file: as a
// whole file, as the main section of a valid binary file (so that the checksums
// hold and the channel reader sees the fields), or as the fields of an ASCII
// file. Whatever is read is then evaluated, given candidates, written to a new
// file and read back.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/kset.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fuzz/fuzz_support.h"
#include "object/kdatatype.h"

using namespace zeqsdk_400;

namespace {

KFCurveNode* Vector(const char* name, KDataType* type, int layerType, int channels) {
    static const char* const kAxes[] = {"X", "Y", "Z", "W"};
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType, 0);
    for (int i = 0; i < channels; ++i) {
        KFCurveNode* child = KFCurveNodeCreate(kAxes[i]);
        child->FCurveSet(KFCurveCreate(), true);
        node->Add(child);
    }
    return node;
}

KFCurveNode* TakeTemplate() {
    KFCurveNode* root = KFCurveNodeCreate("Root");
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    transform->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
    transform->Add(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, 3));
    transform->Add(Vector("S", &KDataTypeLclScaling, KFCL_MULT, 3));
    transform->Add(Vector("Q", nullptr, KFCL_QUAT, 4));
    root->Add(transform);
    root->Add(Vector("Visibility", &KDataTypeVisibility, KFCL_NOLAYER, 1));
    return root;
}

// Evaluation, candidates and their split on every node of a tree.
void Exercise(KFCurveNode* node, int depth) {
    if (depth > 64) return;
    // Room for the widest node of the layer chain: layers read from a file may
    // have another shape than their base.
    int width = 0;
    for (KFCurveNode* layer = node; layer; layer = layer->LayerGet()) width = std::max(width, layer->GetChannelCount());
    std::vector<double> values(static_cast<std::size_t>(width) + 8, 0.5);
    const KTime times[] = {KTime(0), KTime(46186158000LL), KTime::Infinite(), KTime::MinusInfinite()};
    for (KTime time : times) {
        node->GeneralEvaluate(values.data(), time);
        node->CandidateEvaluate(values.data(), time);
        node->Evaluate(values.data(), time);
    }
    node->CandidateSet(KTime(7), values.data(), 1);
    node->FromTotalCandidateToSpecificCandidate(1);
    KTime when;
    node->CandidateGetSpecificLayer(values.data(), when, 1);
    node->CandidateClear(0, true);
    for (int i = 0; i < node->GetCount(); ++i) Exercise(node->Get(i), depth + 1);
}

void ReadAndUse(KZeq& zeq, std::uint8_t flags) {
    KSet warps;
    KFCurveNode* holder = KFCurveNodeCreate("Holder");
    KFCurveNode* warp = Vector("TW", &KDataTypeTimeWarp, KFCL_NOLAYER, 1);
    holder->TimeWarpSet(warp);
    warps.Add(1, reinterpret_cast<kReference>(warp));
    KFCurve_SetTWSet(&warps);

    const bool onlyDefaults = flags & 1;
    const bool createMissing = flags & 2;
    const bool color = flags & 4;
    KFCurveNode* root = TakeTemplate();
    int guard = 0;
    while (KFCurveNodeCreate(&zeq, root, onlyDefaults, createMissing, color) && ++guard < 1000) {
    }
    KFCurveNode* loose = KFCurveNodeCreate(&zeq, onlyDefaults, color);
    Exercise(root, 0);
    if (loose) Exercise(loose, 0);

    // What was read is written again and read back.
    KChainedMemoryFile memory;
    {
        KZeq out;
        if (out.ProjectCreateStream(memory, (flags & 8) != 0, false)) {
            for (int i = 0; i < root->GetCount(); ++i)
                root->Get(i)->ZeqStore(&out, onlyDefaults, true, (flags & 16) != 0, "Channel", color, false);
            if (loose) loose->ZeqStore(&out, false, false, false, "Channel", true, true);
            out.ProjectClose();
        }
    }
    KZeq back;
    if (back.ProjectOpenStream(memory, true, true)) {
        KFCurveNode* again = TakeTemplate();
        while (KFCurveNodeCreate(&back, again, false, true, true)) {
        }
        again->Destroy();
    }

    if (loose) loose->Destroy();
    root->Destroy();
    KFCurve_SetTWSet(nullptr);
    holder->Destroy();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t mode = data[0] % 4;
    const std::uint8_t flags = data[1];
    static const int kVersions[] = {4000, 5800, 6000, 6100};
    const int version = kVersions[(data[0] >> 2) % 4];
    data += 2;
    size -= 2;
    std::string file;
    switch (mode) {
        case 0:
            file.assign(reinterpret_cast<const char*>(data), size);
            break;
        case 1:
        case 2:
            file = zeqfuzz::MakeBinaryZeq(std::string(reinterpret_cast<const char*>(data), size), version);
            break;
        default:
            file = "@Zeq: " + std::to_string(version) + "\n@Section: " + std::to_string(version) + "\n";
            file.append(reinterpret_cast<const char*>(data), size);
            file += "\n@End\n";
            break;
    }
    KChainedMemoryFile stream(file.data(), file.size());
    KZeq zeq;
    if (zeq.ProjectOpenStream(stream, true, true)) ReadAndUse(zeq, flags);
    return 0;
}
