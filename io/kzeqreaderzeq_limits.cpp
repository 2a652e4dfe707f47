// The parts of a node record that the node reader leaves to this file: the
// "Limits" block (before version 6), the look-at and up-vector fields and the
// read-only "Pivots" block (before version 6, with the pivot option).

#include <string>

#include "fileio/kzeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"

namespace zeqsdk_400 {

namespace {

const char kKindLetters[] = {'T', 'R', 'S'};

KZeqVector4 ReadVector(KZeq& file, char kind, const char* what, double missing) {
    double values[3];
    const char axes[] = {'X', 'Y', 'Z'};
    for (int axis = 0; axis < 3; ++axis) {
        const std::string name = std::string{kind, axes[axis]} + what;
        values[axis] = file.FieldReadD(name.c_str(), missing);
    }
    return KZeqVector4(values[0], values[1], values[2], 0.0);
}

// The three values of a pivot field into x, y, z; the fourth stays.
void ReadPivotVector(KZeq& file, const char* name, KZeqVector4& vector) {
    double values[3] = {vector[0], vector[1], vector[2]};
    if (file.FieldReadDn(name, values, nullptr, 3)) vector.Set(values[0], values[1], values[2], vector[3]);
}

void ReadPivotSet(KZeq& file, KZeqNode& node, KZeqNode::EPivotSet set) {
    if (file.FieldReadBegin("PivotEnabled")) {
        const bool enabled = file.FieldReadI() != 0;
        node.SetPivotState(set, enabled ? KZeqNode::ePIVOT_STATE_ACTIVE : KZeqNode::ePIVOT_STATE_REFERENCE);
        file.FieldReadEnd();
    }
    ReadPivotVector(file, "TranslationOffset", node.GetRotationOffset(set));
    ReadPivotVector(file, "RotationPivot", node.GetRotationPivot(set));
    ReadPivotVector(file, "PreRotation", node.GetPreRotation(set));
    ReadPivotVector(file, "PostRotation", node.GetPostRotation(set));
    ReadPivotVector(file, "ScalingPivot", node.GetScalingPivot(set));
}

}  // namespace

bool KZeqReaderZeq::ReadKZeqNodeLimits(KZeqNode& node) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("Limits")) return true;
    if (!file.FieldReadBlockBegin()) return file.FieldReadEnd();
    KZeqNodeLimits& limits = node.GetLimits();
    typedef KZeqNodeLimits::ELimitType Kind;
    for (int kind = 0; kind < 3; ++kind)
        limits.SetAuto(static_cast<Kind>(kind),
                       file.FieldReadI((std::string(1, kKindLetters[kind]) + "Auto").c_str(), 1) != 0);
    for (int kind = 0; kind < 3; ++kind)
        limits.SetEnable(static_cast<Kind>(kind),
                         file.FieldReadI((std::string(1, kKindLetters[kind]) + "Enable").c_str(), 0) != 0);
    const char* const whats[] = {"Default", "Min", "Max"};
    for (int what = 0; what < 3; ++what) {
        for (int kind = 0; kind < 3; ++kind) {
            const KZeqVector4 value = ReadVector(file, kKindLetters[kind], whats[what], kind == 2 ? 1.0 : 0.0);
            if (what == 0) limits.SetDefault(static_cast<Kind>(kind), value);
            if (what == 1) limits.SetMin(static_cast<Kind>(kind), value);
            if (what == 2) limits.SetMax(static_cast<Kind>(kind), value);
        }
    }
    limits.SetRotationType(file.FieldReadI("RType", 1) == 0 ? KZeqNodeLimits::eROTATION_SPHERIC_XYZ
                                                              : KZeqNodeLimits::eROTATION_EULER_XYZ);
    limits.SetRotationClampType(static_cast<KZeqNodeLimits::ERotationClampType>(file.FieldReadI("RClampType", 0)));
    limits.SetRotationAxis(ReadVector(file, 'R', "Axis", 0.0));
    limits.SetAxisLength(file.FieldReadD("AxisLen", 1.0));
    file.FieldReadBlockEnd();
    return file.FieldReadEnd();
}

bool KZeqReaderZeq::ReadKZeqNodeTarget(KZeqNode& node) {
    KZeq& file = *mFile;
    if (file.FieldReadBegin("LookAtModel")) {
        const KString name = file.FieldReadC();
        mTargets.Add(name.Buffer(), reinterpret_cast<kReference>(&node));
        file.FieldReadEnd();
    }
    const double zero[3] = {0.0, 0.0, 0.0};
    double rotation[3], up[3];
    file.FieldReadDn("PostTargetRotation", rotation, zero, 3);
    node.SetPostTargetRotation(KZeqVector4(rotation[0], rotation[1], rotation[2], 0.0));
    file.FieldReadDn("UpTargetRotation", up, zero, 3);
    node.SetTargetUpVector(KZeqVector4(up[0], up[1], up[2], 0.0));
    if (file.FieldReadBegin("UpVectorModel")) {
        const KString name = file.FieldReadC();
        mUpNodes.Add(name.Buffer(), reinterpret_cast<kReference>(&node));
        file.FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqNodePivots(KZeqNode& node) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("Pivots")) return true;
    if (!file.FieldReadBlockBegin()) return file.FieldReadEnd();
    file.FieldReadI("Version", 0);
    const struct {
        const char* mName;
        KZeqNode::EPivotSet mSet;
    } sets[] = {{"Package", KZeqNode::eSOURCE_SET}, {"File", KZeqNode::eDESTINATION_SET}};
    for (const auto& set : sets) {
        if (!file.FieldReadBegin(set.mName)) continue;
        if (file.FieldReadBlockBegin()) {
            ReadPivotSet(file, node, set.mSet);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    file.FieldReadBlockEnd();
    return file.FieldReadEnd();
}

bool ZeqReadNodeTarget(KZeqReaderZeq& reader, KZeqNode& node) { return reader.ReadKZeqNodeTarget(node); }
bool ZeqReadNodeLimits(KZeqReaderZeq& reader, KZeqNode& node) { return reader.ReadKZeqNodeLimits(node); }
bool ZeqReadNodePivots(KZeqReaderZeq& reader, KZeqNode& node) { return reader.ReadKZeqNodePivots(node); }

}  // namespace zeqsdk_400
