// Node identity and units: the plug-in's tag on host nodes, finding the bridge node of a DAG path,
// the unsigned comparison of 32-bit values and the host's unit ratios.
#include <cstdint>
#include <cstring>
#include <vector>

#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtuloutility.h"
#include "tfnattribute.h"
#include "tunits.h"

namespace {

const char kTagName[] = "quorbelTypeID";
const char kTagShortName[] = "zeqID";

// Centimetres per host distance unit, by host code (0 and codes beyond: 1).
const double kCentimetresPerUnit[] = {1.0, 2.54, 30.48, 91.44000000000001, 160934.40000000002, 0.1, 1.0, 100000.0, 100.0};
// Host UI time units per second, by host code (0 and codes beyond: 1).
const double kUnitsPerSecond[] = {1.0,  1.0 / 3600, 1.0 / 60, 1.0,  1000.0, 15.0,
                                  24.0, 30.0,       30.0,     48.0, 50.0,   60.0};

template <std::size_t N>
double ByCode(const double (&table)[N], int code) {
    return code > 0 && static_cast<std::size_t>(code) < N ? table[code] : 1.0;
}

}  // namespace

bool FMIsQuorbelTag(const TObject& attribute) {
    TStatus status;
    const TFnAttribute fn(attribute, &status);
    return status && std::strcmp(fn.name().asChar(), kTagName) == 0;
}

void FMSetQuorbelID(TObject& node, int id) {
    TStatus status;
    TFnDependencyNode fn(node, &status);
    DebugCheckStatus(status, "FMSetQuorbelID : find Dependency node of object");
    if (!status) return;
    TObject attribute = fn.attribute(kTagName, &status);
    if (!status) {
        TFnNumericAttribute creator;
        attribute = creator.create(kTagName, kTagShortName, TFnNumericData::kShort, 0, &status);
        DebugCheckStatus(status, "FMGetQuorbelAttribute : Create attribute fail.");
        TFnNumericAttribute check(attribute, &status);
        DebugCheckStatus(status, "FMGetQuorbelAttribute");
        TStatus flag = creator.setConnectable(false);
        DebugCheckStatus(flag, "FMGetQuorbelAttribute");
        flag = creator.setStorable(true);
        DebugCheckStatus(flag, "FMGetQuorbelAttribute");
        flag = creator.setHidden(true);
        DebugCheckStatus(flag, "FMGetQuorbelAttribute");
        status = fn.addAttribute(attribute, 2);
        DebugCheckStatus(status, "FMSetQuorbelID : Add Quorbel attribute fail.");
        if (!status) return;
        attribute = fn.attribute(kTagName);
    }
    TPlug plug = fn.findPlug(attribute, &status);
    DebugCheckStatus(status, "FMSetQuorbelID : Cannot find Plug.");
    if (!status) return;
    status = plug.setValue(id);
    DebugCheckStatus(status, "FMSetQuorbelID : Set value fail.");
}

int FMGetQuorbelID(TObject& node) {
    TStatus status;
    TFnDependencyNode fn(node, &status);
    DebugCheckStatus(status, nullptr);
    if (!status) return 0;
    TPlug plug = fn.findPlug(kTagName, &status);
    if (!status) return 0;
    int value = 0;
    // A value the host cannot read counts as no tag.
    return plug.getValue(value, TDGContext::fsNormal) ? value : 0;
}

ZeqTuloNode* GetZeqNodeFromDagPath(ZeqTuloNode* root, const TDagPath* path) {
    if (!root || !path) return nullptr;
    // Depth first without recursion (trees may be deep): a node before its children, the last
    // child's subtree first.
    std::vector<ZeqTuloNode*> pending(1, root);
    while (!pending.empty()) {
        ZeqTuloNode* node = pending.back();
        pending.pop_back();
        const TDagPath* own = node->GetDagPath();
        if (own && *own == *path) return node;
        const int count = node->GetChildCount(false);
        for (int i = 0; i < count; ++i) pending.push_back(static_cast<ZeqTuloNode*>(node->GetChild(i)));
    }
    return nullptr;
}

int ArrayTemplateCompareFctU32(const void* a, const void* b) {
    std::uint32_t x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return x < y ? -1 : x > y ? 1 : 0;
}

double ZeqTuloUtility::DistanceUnitRatio() { return ByCode(kCentimetresPerUnit, TDistance::uiUnit()); }

double ZeqTuloUtility::TimeUnitRatio() { return ByCode(kUnitsPerSecond, TTime::uiUnit()); }
