// The limits block and the target fields of the node record: the 5.8
// writer writes both; the 6.0 writer keeps limits in the property block and
// targets in the connections, and writes only the non-zero post-target
// rotation and up vector.

#include <cmath>
#include <string>

#include "io/kzeqfields.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"

namespace zeqsdk_400 {

namespace {

const char kKindLetters[] = {'T', 'R', 'S'};
const char kAxes[] = {'X', 'Y', 'Z'};

bool WriteFieldD(KZeq& file, const std::string& name, double value) {
    return file.FieldWriteBegin(name.c_str()) && file.FieldWriteD(value) && file.FieldWriteEnd();
}

bool WriteVector3(KZeq& file, const char* name, const KZeqVector4& value) {
    return file.FieldWriteBegin(name) && file.FieldWriteD(value[0]) && file.FieldWriteD(value[1]) &&
           file.FieldWriteD(value[2]) && file.FieldWriteEnd();
}

// Components equal to the reader's default are left out; NaN is written.
void WriteComponents(KZeq& file, char kind, const char* what, const KZeqVector4& value, double missing) {
    for (int axis = 0; axis < 3; ++axis)
        if (!(value[axis] == missing)) WriteFieldD(file, std::string{kind, kAxes[axis]} + what, value[axis]);
}

bool IsZero(const KZeqVector4& value) { return value[0] == 0.0 && value[1] == 0.0 && value[2] == 0.0; }

}  // namespace

bool ZeqIsRotationEquivalentToZero(const KZeqVector4& rotation) {
    const double e = 1e-6;
    if (std::fabs(rotation[0]) <= e && std::fabs(rotation[1]) <= e && std::fabs(rotation[2]) <= e) return true;
    // Remainders keep the dividend's sign; against zero the y test is the same as x's.
    for (int i = 0; i < 3; ++i)
        if (std::fabs(std::fabs(std::fmod(rotation[i], 360.0)) - 180.0) > e) return false;
    return true;
}

// Pre- and post-rotation live in the rotation default and axis: they are
// written whenever non-zero, automatic rotation or not, so that a node whose
// limits are all automatic keeps them.
bool KZeqWriterZeqBase::WriteKZeqNodeLimitsRecord(KZeqNode& node) {
    KZeq& file = *mFile;
    KZeqNodeLimits& limits = node.GetLimits();
    typedef KZeqNodeLimits::ELimitType Kind;
    bool manual[3];
    ZeqWriteBlockBegin(file, "Limits");
    for (int kind = 0; kind < 3; ++kind) {
        manual[kind] = !limits.GetAuto(static_cast<Kind>(kind));
        ZeqWriteFieldI(file, (std::string(1, kKindLetters[kind]) + "Auto").c_str(), manual[kind] ? 0 : 1);
    }
    for (int kind = 0; kind < 3; ++kind)
        if (manual[kind])
            ZeqWriteFieldI(file, (std::string(1, kKindLetters[kind]) + "Enable").c_str(),
                           limits.GetEnable(static_cast<Kind>(kind)) ? 1 : 0);
    const char* const whats[] = {"Default", "Min", "Max"};
    for (int what = 0; what < 3; ++what) {
        for (int kind = 0; kind < 3; ++kind) {
            const Kind type = static_cast<Kind>(kind);
            if (!manual[kind] && !(what == 0 && type == KZeqNodeLimits::eR)) continue;
            const KZeqVector4 value = what == 0   ? limits.GetDefault(type)
                                      : what == 1 ? limits.GetMin(type)
                                                  : limits.GetMax(type);
            WriteComponents(file, kKindLetters[kind], whats[what], value, kind == 2 ? 1.0 : 0.0);
        }
    }
    if (manual[1]) {
        if (limits.GetRotationType() != 1) ZeqWriteFieldI(file, "RType", limits.GetRotationType());
        if (limits.GetRotationClampType() != 0) ZeqWriteFieldI(file, "RClampType", limits.GetRotationClampType());
    }
    WriteComponents(file, 'R', "Axis", limits.GetRotationAxis(), 0.0);
    if (manual[1] && !(limits.GetAxisLength() == 1.0)) WriteFieldD(file, "AxisLen", limits.GetAxisLength());
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteKZeqNodeTargetFields(KZeqNode& node) {
    KZeq& file = *mFile;
    const KZeqVector4 rotation = node.GetPostTargetRotation(), up = node.GetTargetUpVector();
    if (!mFile->IsBeforeVersion6()) {
        if (!IsZero(rotation)) WriteVector3(file, "PostTargetRotation", rotation);
        if (!IsZero(up)) WriteVector3(file, "UpTargetRotation", up);
        return true;
    }
    if (KZeqNode* target = node.GetTarget()) {
        ZeqWriteFieldC(file, "LookAtModel", target->GetName());
        if (!ZeqIsRotationEquivalentToZero(rotation)) WriteVector3(file, "PostTargetRotation", rotation);
        if (!ZeqIsRotationEquivalentToZero(up)) WriteVector3(file, "UpTargetRotation", up);
    }
    if (KZeqNode* upNode = node.GetTargetUp()) ZeqWriteFieldC(file, "UpVectorModel", upNode->GetName());
    return true;
}

bool ZeqWriteNodeLimits(KZeqWriterZeqBase& writer, KZeqNode& node) { return writer.WriteKZeqNodeLimitsRecord(node); }
bool ZeqWriteNodeTarget(KZeqWriterZeqBase& writer, KZeqNode& node) { return writer.WriteKZeqNodeTargetFields(node); }

}  // namespace zeqsdk_400
