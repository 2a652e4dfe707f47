// Transform access: rotate-axis and joint-orient triples, rotation order, animation tests, the
// first node of a type on the dependency graph, and the local transform as a Zeq matrix.
#include "base/kzeqmatrix.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtuloutility.h"
#include "tfnanimcurve.h"
#include "tfnattribute.h"

using namespace zeqsdk_400;

namespace {

const double kRadiansToDegrees = 57.29577951308232;
const double kDegreesToRadians = 0.017453292519943295;

const TString kRotateAxis[3] = {"rotateAxisX", "rotateAxisY", "rotateAxisZ"};
const TString kJointOrient[3] = {"jointOrientX", "jointOrientY", "jointOrientZ"};
const char* const kTransformChannels[9] = {"translateX", "translateY", "translateZ", "rotateX", "rotateY",
                                           "rotateZ",    "scaleX",     "scaleY",     "scaleZ"};

// A plug is animated when a curve with keys drives it; any host failure means it is not.
bool Keyed(const TPlug& plug) {
    TStatus status;
    TFnAnimCurve curve(plug, &status);
    return status && curve.numKeys() != 0;
}

void ZeroThenSet(const TFnTransform& t, const TString* names, const TPoint& p, double factor) {
    TStatus status;
    for (int i = 0; i < 3; ++i) {
        TPlug plug = t.findPlug(names[i], &status);
        if (status) plug.setValue(0);
    }
    for (unsigned i = 0; i < 3; ++i) {
        TPlug plug = t.findPlug(names[i], &status);
        if (status) plug.setValue(p[i] * factor);
    }
}

}  // namespace

void GetAttributeVector(const TFnTransform& t, const TString* names, TPoint& p) {
    p = TPoint::origin;
    TStatus status;
    for (unsigned i = 0; i < 3; ++i) {
        TPlug plug = t.findPlug(names[i], &status);
        if (status) plug.getValue(p[i], TDGContext::fsNormal);
    }
}

void SetAttributeVector(const TFnTransform& t, const TString* names, const TPoint& p) {
    TStatus status;
    for (unsigned i = 0; i < 3; ++i) {
        TPlug plug = t.findPlug(names[i], &status);
        if (status) plug.setValue(p[i]);
    }
}

void GetTuloRotateAxis(const TFnTransform& t, TPoint& p) { GetAttributeVector(t, kRotateAxis, p); }
void SetTuloRotateAxis(const TFnTransform& t, const TPoint& p) { SetAttributeVector(t, kRotateAxis, p); }
void GetTuloJointOrient(const TFnTransform& t, TPoint& p) { GetAttributeVector(t, kJointOrient, p); }
void SetTuloJointOrient(const TFnTransform& t, const TPoint& p) { SetAttributeVector(t, kJointOrient, p); }

void ZeqTuloUtility::GetRotateAxis(const TFnTransform& t, TPoint& p) {
    GetAttributeVector(t, kRotateAxis, p);
    p = p * kRadiansToDegrees;
}

void ZeqTuloUtility::GetJointOrient(const TFnTransform& t, TPoint& p) {
    GetAttributeVector(t, kJointOrient, p);
    p = p * kRadiansToDegrees;
}

void ZeqTuloUtility::SetRotateAxis(const TFnTransform& t, const TPoint& p) { ZeroThenSet(t, kRotateAxis, p, kDegreesToRadians); }

const double (&ZeqTuloUtility::LightAxes())[4][4] {
    static const double axes[4][4] = {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}};
    return axes;
}

const double (&ZeqTuloUtility::CameraAxes())[4][4] {
    static const double axes[4][4] = {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}};
    return axes;
}

void ZeqTuloUtility::SetJointOrient(const TFnTransform& t, const TPoint& p) {
    ZeroThenSet(t, kJointOrient, p, kDegreesToRadians);
}

int ZeqTuloUtility::GetRotationOrder(const TFnTransform& t) {
    const int order = t.rotationOrder();
    return order >= 1 && order <= 6 ? order - 1 : 0;
}

bool ZeqTuloUtility::IsAnimated(TFnTransform& t) {
    TStatus status[9];
    TPlug plugs[9];
    for (int i = 0; i < 9; ++i) plugs[i] = t.findPlug(kTransformChannels[i], &status[i]);
    for (int i = 0; i < 9; ++i)
        if (status[i] && Keyed(plugs[i])) return true;
    return false;
}

bool IsTransformAnimated(TFnTransform& t) { return ZeqTuloUtility::IsAnimated(t); }

bool ZeqTuloUtility::IsUserPropertiesAnimated(TFnTransform& t) {
    TStatus status;
    const unsigned count = t.attributeCount(&status);
    if (!status) return false;
    for (unsigned i = 0; i < count; ++i) {
        TObject attribute = t.attribute(i);
        if (t.attributeClass(attribute) != 2 || attribute.apiType() != TFn::kNumericAttribute) continue;
        TPlug plug = t.findPlug(attribute, &status);
        if (status && Keyed(plug)) return true;
    }
    return false;
}

bool ZeqTuloUtility::GetDependencyOfThisType(TObject* start, unsigned int type, TObject* found,
                                             TItDependencyGraph::Direction direction, TFn::Type filter) {
    if (!start) return false;
    TStatus status;
    TItDependencyGraph it(*start, filter, direction, TItDependencyGraph::kBreadthFirst, TItDependencyGraph::kPlugLevel,
                          &status);
    if (!status) return false;
    do {
        TObject node = it.thisNode();
        if (node.hasFn(static_cast<int>(type))) {
            if (found) *found = node;
            return true;
        }
    } while (it.next());
    return false;
}

bool ZeqTuloUtility::GetDependencyOfThisTypeAndName(TObject* start, unsigned int type, const char* name,
                                                    TObject* found, TItDependencyGraph::Direction direction,
                                                    TFn::Type filter) {
    TObject node;
    if (!GetDependencyOfThisType(start, type, &node, direction, filter)) return false;
    if (found) *found = node;
    return TFnDependencyNode(node).name() == (name ? name : "");
}

void ZeqTuloUtility::GetTFnTransformNode(TFnTransform& t, KZeqMatrix& m) {
    double scale[3] = {1, 1, 1};
    TStatus status = t.getScale(scale);
    DebugCheckStatus(status, nullptr);
    double x = 0, y = 0, z = 0, w = 1;
    status = t.getRotationQuaternion(x, y, z, w, TSpace::kTransform);
    DebugCheckStatus(status, nullptr);
    TVector translation = t.translation(TSpace::kTransform, &status);
    DebugCheckStatus(status, nullptr);
    KZeqXMatrix matrix;
    matrix.SetTQS(KZeqVector4(translation.x, translation.y, translation.z, 1.0), KZeqQuaternion(x, y, z, w),
                  KZeqVector4(scale[0], scale[1], scale[2], 1.0));
    m = matrix;
}

void ZeqTuloUtility::SetTFnTransformNode(TFnTransform& t, KZeqMatrix& m) {
    KZeqXMatrix matrix(m);
    const KZeqQuaternion q = matrix.GetQ();
    const KZeqVector4 translation = matrix.GetT();
    const KZeqVector4 scaling = matrix.GetS();
    TStatus status = t.setRotationQuaternion(q[0], q[1], q[2], q[3], TSpace::kTransform);
    DebugCheckStatus(status, nullptr);
    status = t.setTranslation(TVector(translation[0], translation[1], translation[2]), TSpace::kTransform);
    DebugCheckStatus(status, nullptr);
    const double scale[3] = {scaling[0], scaling[1], scaling[2]};
    status = t.setScale(scale);
    DebugCheckStatus(status, nullptr);
}

void ZeqTuloUtility::MatrixConvertCameraInterest(KZeqNode&, KZeqNode&) {}

bool ConvertMatrixTuloToZEQ(const TTransformationMatrix& from, double (*to)[4]) {
    const TMatrix m = from.asMatrix();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) to[i][j] = m.matrix[i][j];
    return true;
}

bool ConvertMatrixZEQToTulo(double (*from)[4], TTransformationMatrix& to) {
    const TMatrix m(from);
    to.reorderRotation(TTransformationMatrix::kXYZ);
    to = m;
    return true;
}
